#pragma once
// The 49 entries of the card editor's colour box and the colour text ("FF0000") each gives:
// 20 fixed colours, 27 elements of the desktop's colour scheme and two entries without a colour.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace melorin::card {

// The display elements the colour box names after the desktop's system colours.
enum class DisplayElement {
    ActiveBorder,
    ActiveCaption,
    AppWorkSpace,
    Background,
    BtnFace,
    BtnHighlight,
    BtnShadow,
    BtnText,
    CaptionText,
    GradientActiveCaption,
    GradientInactiveCaption,
    GrayText,
    Highlight,
    HighlightText,
    InactiveBorder,
    InactiveCaption,
    InactiveCaptionText,
    InfoBk,
    InfoText,
    Menu,
    MenuText,
    ScrollBar,
    DkShadow3D,
    Light3D,
    Window,
    WindowFrame,
    WindowText,
};
inline constexpr int kDisplayElementCount = 27;

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// The current colour of a display element; the window supplies the desktop palette's.
using ElementColours = std::function<Rgb(DisplayElement)>;

struct ColourEntry {
    enum class Source { Fixed, Element, NoColour };
    std::string_view name;  // as the box lists it, e.g. "clRed"
    Source source = Source::Fixed;
    std::string_view fixedText;                             // Source::Fixed only
    DisplayElement element = DisplayElement::ActiveBorder;  // Source::Element only
};

// In the box's order, "clBlack" first.
std::span<const ColourEntry> colourEntries();

// Six upper-case hexadecimal digits, red first. "clNone", "clDefault" and names the box does
// not list give "000000".
std::string colourText(std::string_view entryName, const ElementColours& elements);
std::string colourText(Rgb rgb);

}  // namespace melorin::card
