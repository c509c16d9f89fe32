#pragma once
// The play list's rules: which player a list needs, what the add action does with a search
// selection, and the room the list view gives up to a player page and gets back. Pure
// functions over the rows the window's models hold; the window applies the outcome.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/songrow.h"

namespace melorin::player {

enum class PlayerKind { Real, WindowsMedia };

// Real when the type text, in upper case, is "RM" or "RAM"; Windows Media for every other.
PlayerKind playerKindOf(std::string_view type);
// Decided by the first row alone; an empty list needs the Windows Media player.
PlayerKind playerKindOf(const std::vector<core::SongRow>& rows);

inline constexpr std::string_view kNothingSelectedMessage = "请在搜索栏中选择想播放的文件名！";
inline constexpr std::string_view kTypeMismatchMessage = "文件类型不符,不能追加!";

// What the add action asks of the window. With a message nothing else happens; otherwise the
// play list is emptied first when asked, then `rows` are appended to the play list and the
// same rows to the card list.
struct AddOutcome {
    std::string message;
    bool emptyPlayListFirst = false;
    std::vector<core::SongRow> rows;

    [[nodiscard]] bool refused() const { return !message.empty(); }
};

// `selection`: the selected rows of the search list in list order. Only file rows take part;
// chart, singer and album entries are skipped as if they were not selected. A list holding
// rows read from a file is emptied first. The type check compares the first selected file's
// type with the list's first row, exactly and case-sensitively: "rm"/"ram" against
// "asf"/"wma" (either way round) is refused.
AddOutcome addToPlayList(const std::vector<core::SongRow>& playList,
                         const std::vector<core::SongRow>& selection);

// Applies an outcome that was not refused.
void applyAdd(const AddOutcome& outcome, std::vector<core::SongRow>& playList,
              std::vector<core::SongRow>& cardList);

// True when the list holds nothing that can be saved or played: empty, or rows from a file.
bool lacksFileRows(const std::vector<core::SongRow>& playList);

// The play-list row a player's entry comes from, to mark it: the row with the entry's address
// (a line read from a file by the address it holds), else a file row whose title the entry
// carries (entries of a list inside the list take its row's title); of several, the one
// nearest the entry's place `entryIndex`. nullopt when no row matches.
std::optional<std::size_t> rowOfEntry(const std::vector<core::SongRow>& playList,
                                      std::string_view address, std::string_view title,
                                      int entryIndex);

// The list view's height: a player page takes `shrink` pixels from a view of 140 or more;
// clearing the list gives a view below 140 its room back (145).
inline constexpr int kShrinkRealPage = 70;
inline constexpr int kShrinkWindowsMediaPage = 75;
inline constexpr int kShrinkLoadedFilePage = 70;
int heightAfterShowingPage(int height, int shrink);
int heightAfterClear(int height);

}  // namespace melorin::player
