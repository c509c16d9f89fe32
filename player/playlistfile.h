#pragma once
// The two play-list file formats as the save action writes them and the load action reads
// them back: ".rpm" (an address a line) and ".asx" (a reference entry per row). Files are GBK
// without a byte-order mark, every line ending in CR LF.
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/songrow.h"
#include "player/playlist.h"

namespace melorin::player {

// The dialogs' filters exactly as the program has always offered them ("description|patterns"
// pairs); core::fileDialogFilter() turns one into the form Qt's dialogs take.
inline constexpr std::string_view kSaveDialogFilter =
    "real播放列表(*.rpm)|*.rpm|winmedia播放列表(*.asf)|*.asf";
inline constexpr std::string_view kLoadDialogFilter =
    "real列表(*.rpm);winmedia列表(*.asx)|*.rpm;*.asx|winmedia列表(*.asx)|*.asx|real列表(*.rpm)|*."
    "rpm";

// The rows' addresses, one a line. Characters GBK cannot hold become their UTF-8 bytes
// percent-encoded, as do line breaks inside an address, so every row stays one line.
std::string rpmText(const std::vector<core::SongRow>& rows);
// The ".asx" list with `title` on its second line. Addresses are written with entities for
// "&", "<", ">" and quotation marks; characters GBK cannot hold as numeric references.
std::string asxText(const std::vector<core::SongRow>& rows, std::string_view title = "playlist");
// The format the list's kind asks for: ".rpm" for Real, ".asx" for Windows Media.
std::string playListText(const std::vector<core::SongRow>& rows);

// "yyyyMMdd-hhmmss" of `localTime`, the search text without blanks and control characters at
// either end, then ".rpm" or ".asx". A "/" in the search text becomes "_": the name is one file.
std::string proposedSaveName(const std::tm& localTime, std::string_view searchText,
                             PlayerKind kind);

// What the save action does before its dialog: whether it ran the add action (the window
// applies `add` then, showing its message), and, when `proceed`, the file's bytes and the
// proposed name.
struct SavePreparation {
    bool ranAdd = false;
    AddOutcome add;
    bool proceed = false;
    std::string bytes;
    std::string proposedName;
};
SavePreparation prepareSave(const std::vector<core::SongRow>& playList,
                            const std::vector<core::SongRow>& selection,
                            std::string_view searchText, const std::tm& localTime);

// A file's lines as the load action reads them: a line ends at CR LF, a lone CR or a lone LF;
// a break at the very end adds no empty line; the first NUL byte ends the reading.
std::vector<std::string> playListLines(std::string_view bytes);
// True when the last three characters of the path, in upper case, are "RPM".
bool isRpmPath(std::string_view path);
// The rows a loaded file gives, each a line of the file (GBK) as its caption: every line of
// an ".rpm" file; of any other file the lines 3, 6, 9, ... (zero-based), up to the last
// complete group, which for a saved ".asx" are exactly its reference lines.
std::vector<core::SongRow> loadedRows(std::string_view bytes, bool rpm);

struct LoadedFile {
    std::vector<core::SongRow> rows;
    std::string error;  // empty when the file was read; else a message for the failure hook
};
LoadedFile readPlayListFile(const std::string& path);

// Writes a saved list whole or not at all; empty on success, else the failure's text.
std::optional<std::string> writePlayListFile(const std::string& path, std::string_view bytes);

}  // namespace melorin::player
