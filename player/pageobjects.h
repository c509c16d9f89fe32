#pragma once
// The player objects of a player page as the page file holds them: which player, what it
// plays, whether it starts by itself. Read from the file's own bytes, as GBK (the program
// writes its pages so), whatever encoding a browser would guess or a script would add.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "player/playlist.h"

namespace melorin::player {

// No page of the program holds more; a page with thousands gets players for the first ones.
inline constexpr std::size_t kMaxPlayerObjects = 16;

struct PlayerObject {
    PlayerKind kind = PlayerKind::WindowsMedia;
    std::string target;       // UTF-8, entities decoded, blanks at either end removed
    std::string targetBytes;  // the same as the page's bytes hold it: a local name that is not
                              // UTF-8 is found by these
    bool autoStart = true;
};

// Every OBJECT element whose CLASSID (any case) names the RealPlayer or the Windows Media
// Player, in document order, up to kMaxPlayerObjects; objects inside comments, scripts and
// other raw text are none. The target is the RealPlayer's "SRC" or the Windows Media Player's
// "fileName" (or "URL") parameter; "AUTOSTART" of "0" or "false" keeps it from starting. A
// parameter belongs to the object opened last and not yet closed. Linear in the page's size.
std::vector<PlayerObject> playerObjectsOf(std::string_view pageBytes);

// The background picture the page's BODY names (UTF-8, entities decoded, trimmed); empty when
// it names none.
std::string pagePictureOf(std::string_view pageBytes);

}  // namespace melorin::player
