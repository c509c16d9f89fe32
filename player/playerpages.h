#pragma once
// The player pages and working play lists that "在线播放" and the load action write into the
// program folder, as exact bytes (GBK, CR LF after every line). A page names its target as
// "file://" + the absolute path, unescaped but for the markup entities.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/songrow.h"
#include "player/playlist.h"

namespace melorin::player {

inline constexpr std::string_view kRealClassId = "clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA";
inline constexpr std::string_view kWindowsMediaClassId =
    "CLSID:22D6f312-B0F6-11D0-94AB-0080C74C7E95";
// The player package's download host of the Windows Media object; never contacted.
inline constexpr std::string_view kCodebaseHost = "activex.melorin.invalid";

inline constexpr std::string_view kWorkingRealList = "1.rpm";
inline constexpr std::string_view kWorkingWindowsMediaList = "winmedia.asx";
inline constexpr std::string_view kRealPage = "1.html";
inline constexpr std::string_view kWindowsMediaPage = "2.html";

// Object lines shared with the card page, which embeds the same two players.
inline constexpr std::array<std::string_view, 6> kRealParamsBeforeSource = {
    "<param name=\"_ExtentX\" value=\"6350\">", "<param name=\"_ExtentY\" value=\"2646\">",
    "<param name=\"AUTOSTART\" value=\"-1\">",  "<param name=\"SHUFFLE\" value=\"0\">",
    "<param name=\"PREFETCH\" value=\"0\">",    "<param name=\"NOLABELS\" value=\"0\">"};
inline constexpr std::array<std::string_view, 4> kRealParamsAfterSource = {
    "<param name=\"CONTROLS\" value=\"ConrolPane\">", "<param name=\"CONSOLE\" value=\"one\">",
    "<param name=\"LOOP\" value=\"0\">", "<param name=\"NUMLOOP\" value=\"0\">"};
inline constexpr std::array<std::string_view, 2> kRealParamsAfterCenter = {
    "<param name=\"MAINTAINASPECT\" value=\"0\">",
    "<param name=\"BACKGROUNDCOLOR\" value=\"#000000\">"};
// Lines 7 to 11 of the Windows Media page: CLASSID, CODEBASE over two lines, STANDBY, TYPE.
std::array<std::string, 5> windowsMediaObjectAttributeLines();

// "file://" + an absolute local path.
std::string fileAddress(std::string_view absolutePath);

// The RealPlayer page ("1.html") playing `targetPath`.
std::string realPage(std::string_view targetPath);
// The Windows Media page ("2.html"): for "在线播放" HEIGHT=68 and a blank after the target
// inside the value; for a loaded play-list file HEIGHT=65 and no blank.
enum class WindowsMediaPageFor { OnlinePlay, LoadedFile };
std::string windowsMediaPage(std::string_view targetPath, WindowsMediaPageFor use);

// A file to write into the program folder, by name.
struct PlayerFile {
    std::string name;
    std::string bytes;
};

// The files to write, in order, then the page to show and the pixels the list view gives up.
struct PageToShow {
    PlayerKind kind = PlayerKind::WindowsMedia;
    std::vector<PlayerFile> files;
    std::string pageName;
    int shrink = 0;
};

// What "在线播放" does with the search selection (rows in list order):
// - the first selected file row has the type "html": the desktop opens its address, nothing else;
// - otherwise the add action runs on an emptied play list (`add`; with its message nothing
//   else happens) and, when rows were added, `page` holds the working list and the page.
struct OnlinePlayStep {
    std::string openAddress;
    AddOutcome add;
    std::optional<PageToShow> page;
};
OnlinePlayStep onlinePlay(std::string_view programDir, const std::vector<core::SongRow>& selection);

// The page for a play-list file the user loaded: "1.html" for an ".rpm" path, else "2.html";
// no working list.
PageToShow loadedFilePage(std::string_view path);

// Writes each file whole into `programDir` (which ends in "/"), in order, stopping at the
// first failure; empty on success, else the failure's text for the failure hook.
std::optional<std::string> writePlayerFiles(std::string_view programDir,
                                            const std::vector<PlayerFile>& files);

}  // namespace melorin::player
