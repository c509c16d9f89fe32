#include "card/cardpage.h"

#include <algorithm>
#include <cctype>

#include "card/background.h"
#include "core/atomicfile.h"
#include "core/markup.h"
#include "core/text.h"

namespace melorin::card {
namespace {

using core::Unencodable;

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string gbk(std::string_view utf8) {
    return core::utf8ToGbk(utf8, Unencodable::NumericReference);
}

std::string songAddress(const core::SongRow& song) {
    return core::utf8ToGbk(core::escapeMarkup(song.address), Unencodable::PercentUtf8);
}

void appendRealObject(std::vector<std::string>& lines, const std::string& address) {
    lines.insert(
        lines.end(),
        {
            R"(<OBJECT ID=RAOCX CLASSID="clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA" HEIGHT="50" WIDTH="300">)",
            "",
            R"(<param name="_ExtentX" value="6350">)",
            R"(<param name="_ExtentY" value="2646">)",
            R"(<param name="AUTOSTART" value="-1">)",
            R"(<param name="SHUFFLE" value="0">)",
            R"(<param name="PREFETCH" value="0">)",
            R"(<param name="NOLABELS" value="0">)",
            R"(<param name="SRC" value=")" + address + R"(">)",
            R"(<param name="CONTROLS" value="ConrolPane">)",
            R"(<param name="CONSOLE" value="one">)",
            R"(<param name="LOOP" value="0">)",
            R"(<param name="NUMLOOP" value="0">)",
            R"(<param name="CENTER" value="1">)",
            R"(<param name="MAINTAINASPECT" value="0">)",
            R"(<param name="BACKGROUNDCOLOR" value="#000000">)",
            "",
            "</OBJECT>",
            "<br>",
        });
}

void appendWindowsMediaObject(std::vector<std::string>& lines, const std::string& address) {
    lines.insert(
        lines.end(),
        {
            "",
            R"(<OBJECT ID="WMPlay" WIDTH=300 HEIGHT=50)",
            R"(CLASSID="CLSID:22D6f312-B0F6-11D0-94AB-0080C74C7E95")",
            // The installer address runs on into the next line, inside the attribute value.
            R"(CODEBASE="http://activex.microsoft.com/activex/controls/mplayer/en/)",
            R"(nsmp2inf.cab#Version=6,4,5,715")",
            R"(STANDBY="Loading Microsoft? Windows Media? Player components...")",
            R"(TYPE="application/x-oleobject">)",
            R"(<PARAM NAME="fileName" VALUE=")" + address + R"(">)",
            "",
            "</OBJECT>",
            "<br>",
        });
}

}  // namespace

PlayerKind playerKindOf(const core::SongRow& song) {
    const std::string type = upper(song.type);
    return type == "RM" || type == "RAM" ? PlayerKind::Real : PlayerKind::WindowsMedia;
}

std::vector<std::string> cardPageLines(const core::SongRow& song, const CardText& card) {
    const PlayerKind kind = playerKindOf(song);
    std::vector<std::string> lines{
        "<HTML>",
        backgroundLineForFile(card.picture),
        "",
        "<h2>" + gbk(card.title) + "</h2>",
    };
    const std::string address = songAddress(song);
    if (kind == PlayerKind::Real) {
        appendRealObject(lines, address);
    } else {
        appendWindowsMediaObject(lines, address);
    }
    // The Real card puts a line break before every greeting line, the Windows Media card none.
    const std::string prefix = kind == PlayerKind::Real ? "<br>" : "";
    for (const std::string& line : card.contentLines) lines.push_back(prefix + gbk(line));
    lines.emplace_back("</body>");
    lines.emplace_back("</html>");
    return lines;
}

std::string cardPageBytes(const core::SongRow& song, const CardText& card) {
    return core::crlfLines(cardPageLines(song, card));
}

std::string cardPagePath(std::string_view programDir) {
    std::string path(programDir);
    if (!path.empty() && path.back() != '/') path += '/';
    return path + "card.html";
}

std::optional<std::string> generateCardPage(std::string_view programDir,
                                            std::span<const core::SongRow> cardList,
                                            const CardText& card) {
    if (cardList.empty()) return std::nullopt;
    const core::SongRow& song = cardList.front();
    if (!song.isFile()) {
        // No title in the message: network text must not steer the failure hook.
        return "card.html not written: the card list's first row is not a music file";
    }
    return core::writeFileAtomically(cardPagePath(programDir), cardPageBytes(song, card));
}

}  // namespace melorin::card
