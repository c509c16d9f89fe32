#include "player/playerpages.h"

#include "core/atomicfile.h"
#include "core/text.h"
#include "player/addresstext.h"
#include "player/playlistfile.h"

namespace melorin::player {
namespace {

// Where the target goes in the page's lines; no line of a page holds a control character.
constexpr std::string_view kTargetSlot = "\x01target\x01";

// The page's GBK bytes with the target in its slot. A path whose bytes are not UTF-8 (an old
// GBK name) goes in as those very bytes, so that the player opens what the user chose; markup
// escaping is byte-wise safe for GBK.
std::string pageBytes(const std::vector<std::string>& lines, std::string_view targetPath) {
    std::string page = core::utf8ToGbk(core::crlfLines(lines), core::Unencodable::NumericReference);
    const std::string target = markupAddress(fileAddress(targetPath));
    const std::string targetBytes =
        core::isValidUtf8(targetPath) ? core::utf8ToGbk(target, core::Unencodable::NumericReference)
                                      : target;
    const std::size_t slot = page.find(kTargetSlot);
    if (slot != std::string::npos) page.replace(slot, kTargetSlot.size(), targetBytes);
    return page;
}

}  // namespace

std::array<std::string, 5> windowsMediaObjectAttributeLines() {
    return {R"(CLASSID=")" + std::string(kWindowsMediaClassId) + '"',
            R"(CODEBASE="http://)" + std::string(kCodebaseHost) + "/activex/controls/mplayer/en/",
            R"(nsmp2inf.cab#Version=6,4,5,715")",
            R"(STANDBY="Loading Microsoft? Windows Media? Player components...")",
            R"(TYPE="application/x-oleobject">)"};
}

std::string fileAddress(std::string_view absolutePath) {
    return "file://" + std::string(absolutePath);
}

std::string realPage(std::string_view targetPath) {
    std::vector<std::string> lines = {"<HTML>",
                                      "<body>",
                                      "",
                                      "",
                                      R"(<OBJECT ID=RAOCX CLASSID=")" + std::string(kRealClassId) +
                                          R"(" HEIGHT="50" WIDTH="500">)",
                                      ""};
    lines.insert(lines.end(), kRealParamsBeforeSource.begin(), kRealParamsBeforeSource.end());
    lines.push_back(R"(<param name="SRC" value=")" + std::string(kTargetSlot) + R"(">)");
    lines.insert(lines.end(), kRealParamsAfterSource.begin(), kRealParamsAfterSource.end());
    lines.emplace_back(R"(<param name="CENTER" value="0">)");
    lines.insert(lines.end(), kRealParamsAfterCenter.begin(), kRealParamsAfterCenter.end());
    lines.insert(lines.end(), {"", "</OBJECT>", "</body>", "</html>"});
    return pageBytes(lines, targetPath);
}

std::string windowsMediaPage(std::string_view targetPath, WindowsMediaPageFor use) {
    const bool online = use == WindowsMediaPageFor::OnlinePlay;
    std::vector<std::string> lines = {"<HTML>", "<body>", "", "", ""};
    lines.push_back(std::string(R"(<OBJECT ID="WMPlay" WIDTH=500 HEIGHT=)") +
                    (online ? "68" : "65"));
    for (std::string& line : windowsMediaObjectAttributeLines()) lines.push_back(std::move(line));
    lines.push_back(R"(<PARAM NAME="fileName" VALUE=")" + std::string(kTargetSlot) +
                    (online ? " \">" : "\">"));
    lines.insert(lines.end(),
                 {R"(<param name="ShowStatusBar" value="1">)", "</OBJECT>", "</body>", "</html>"});
    return pageBytes(lines, targetPath);
}

OnlinePlayStep onlinePlay(std::string_view programDir,
                          const std::vector<core::SongRow>& selection) {
    OnlinePlayStep step;
    for (const core::SongRow& row : selection) {
        if (!row.isFile()) continue;
        if (row.type == "html") {
            step.openAddress = row.address;
            return step;
        }
        break;
    }
    step.add = addToPlayList({}, selection);
    if (step.add.refused()) return step;
    step.add.emptyPlayListFirst = true;
    const std::vector<core::SongRow>& rows = step.add.rows;
    const std::string dir(programDir);
    PageToShow page;
    page.kind = playerKindOf(rows);
    if (page.kind == PlayerKind::Real) {
        const std::string list = dir + std::string(kWorkingRealList);
        page.files.push_back({std::string(kWorkingRealList), rpmText(rows)});
        page.files.push_back({std::string(kRealPage), realPage(list)});
        page.pageName = kRealPage;
        page.shrink = kShrinkRealPage;
    } else {
        const std::string list = dir + std::string(kWorkingWindowsMediaList);
        page.files.push_back({std::string(kWorkingWindowsMediaList), asxText(rows, "demo")});
        page.files.push_back({std::string(kWindowsMediaPage),
                              windowsMediaPage(list, WindowsMediaPageFor::OnlinePlay)});
        page.pageName = kWindowsMediaPage;
        page.shrink = kShrinkWindowsMediaPage;
    }
    step.page = std::move(page);
    return step;
}

PageToShow loadedFilePage(std::string_view path) {
    PageToShow page;
    page.shrink = kShrinkLoadedFilePage;
    if (isRpmPath(path)) {
        page.kind = PlayerKind::Real;
        page.pageName = kRealPage;
        page.files.push_back({page.pageName, realPage(path)});
    } else {
        page.kind = PlayerKind::WindowsMedia;
        page.pageName = kWindowsMediaPage;
        page.files.push_back(
            {page.pageName, windowsMediaPage(path, WindowsMediaPageFor::LoadedFile)});
    }
    return page;
}

std::optional<std::string> writePlayerFiles(std::string_view programDir,
                                            const std::vector<PlayerFile>& files) {
    for (const PlayerFile& file : files) {
        if (auto error = core::writeFileAtomically(std::string(programDir) + file.name, file.bytes))
            return error;
    }
    return std::nullopt;
}

}  // namespace melorin::player
