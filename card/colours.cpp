#include "card/colours.h"

#include <algorithm>
#include <array>

namespace melorin::card {
namespace {

using Source = ColourEntry::Source;
using E = DisplayElement;

constexpr ColourEntry fixed(std::string_view name, std::string_view text) {
    return {name, Source::Fixed, text, E::ActiveBorder};
}
constexpr ColourEntry element(std::string_view name, DisplayElement e) {
    return {name, Source::Element, {}, e};
}
constexpr ColourEntry none(std::string_view name) {
    return {name, Source::NoColour, {}, E::ActiveBorder};
}

constexpr std::array<ColourEntry, 49> kEntries{{
    fixed("clBlack", "000000"),
    fixed("clMaroon", "800000"),
    fixed("clGreen", "008000"),
    fixed("clOlive", "808000"),
    fixed("clNavy", "000080"),
    fixed("clPurple", "800080"),
    fixed("clTeal", "008080"),
    fixed("clGray", "808080"),
    fixed("clSilver", "C0C0C0"),
    fixed("clRed", "FF0000"),
    fixed("clLime", "00FF00"),
    fixed("clYellow", "FFFF00"),
    fixed("clBlue", "0000FF"),
    fixed("clFuchsia", "FF00FF"),
    fixed("clAqua", "00FFFF"),
    fixed("clWhite", "FFFFFF"),
    fixed("clMoneyGreen", "C0DCC0"),
    fixed("clSkyBlue", "A6CAF0"),
    fixed("clCream", "FFFBF0"),
    fixed("clMedGray", "A0A0A4"),
    element("clActiveBorder", E::ActiveBorder),
    element("clActiveCaption", E::ActiveCaption),
    element("clAppWorkSpace", E::AppWorkSpace),
    element("clBackground", E::Background),
    element("clBtnFace", E::BtnFace),
    element("clBtnHighlight", E::BtnHighlight),
    element("clBtnShadow", E::BtnShadow),
    element("clBtnText", E::BtnText),
    element("clCaptionText", E::CaptionText),
    none("clDefault"),
    element("clGradientActiveCaption", E::GradientActiveCaption),
    element("clGradientInactiveCaption", E::GradientInactiveCaption),
    element("clGrayText", E::GrayText),
    element("clHighlight", E::Highlight),
    element("clHighlightText", E::HighlightText),
    element("clInactiveBorder", E::InactiveBorder),
    element("clInactiveCaption", E::InactiveCaption),
    element("clInactiveCaptionText", E::InactiveCaptionText),
    element("clInfoBk", E::InfoBk),
    element("clInfoText", E::InfoText),
    element("clMenu", E::Menu),
    element("clMenuText", E::MenuText),
    none("clNone"),
    element("clScrollBar", E::ScrollBar),
    element("cl3DDkShadow", E::DkShadow3D),
    element("cl3DLight", E::Light3D),
    element("clWindow", E::Window),
    element("clWindowFrame", E::WindowFrame),
    element("clWindowText", E::WindowText),
}};

}  // namespace

std::span<const ColourEntry> colourEntries() {
    return kEntries;
}

std::string colourText(Rgb rgb) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t v : {rgb.red, rgb.green, rgb.blue}) {
        text += kHex[v >> 4];
        text += kHex[v & 0xF];
    }
    return text;
}

std::string colourText(std::string_view entryName, const ElementColours& elements) {
    const auto* it =
        std::find_if(kEntries.begin(), kEntries.end(),
                     [entryName](const ColourEntry& e) { return e.name == entryName; });
    if (it == kEntries.end()) return "000000";
    switch (it->source) {
        case Source::Fixed:
            return std::string(it->fixedText);
        case Source::Element:
            return elements ? colourText(elements(it->element)) : "000000";
        case Source::NoColour:
            break;
    }
    return "000000";
}

}  // namespace melorin::card
