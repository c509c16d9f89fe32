// The demo service's invented music catalogue and its search rule. All texts are UTF-8; the
// pages convert them to GBK on the way out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace melorin::service {

// The five downloadable kinds, numbered as the search pages' "lm" parameter numbers them.
enum class Kind { Mp3 = 0, Rm = 1, Wma = 2, Asf = 3, Ram = 4 };
inline constexpr int kKindCount = 5;

// File extension and page type text of a kind: "mp3", "rm", "wma", "asf", "ram".
std::string_view kindExtension(Kind kind);
std::optional<Kind> kindFromExtension(std::string_view ext);

struct Singer {
    std::string_view name;
    bool male;
    std::string_view album;  // each singer has one album holding one song of every kind
};

struct Song {
    int id;  // 0-based index into songs()
    Kind kind;
    std::string_view title;
    const Singer* singer;
    std::string_view style;
    std::string size;  // nominal size as shown: three characters, a space, "M" or "K"
};

const std::vector<Singer>& singers();
const std::vector<Song>& songs();

// Every song is offered from this many sources, so one song fills many result rows.
inline constexpr int kSourcesPerSong = 50;
// FLASH results: every song has this many animated versions.
inline constexpr int kFlashVersions = 2;
std::string_view flashVersionTag(int version);     // "动画MV", "卡通版"
std::string_view flashVersionAuthor(int version);  // invented authors of the versions

enum class MatchField { Any, AlbumOnly };

// Songs whose title, singer, album or style contains `word` (after trimming blanks), in
// catalogue order; `kind` empty means every kind. An empty word matches nothing.
std::vector<const Song*> findSongs(std::string_view word, std::optional<Kind> kind,
                                   MatchField field = MatchField::Any);

}  // namespace melorin::service
