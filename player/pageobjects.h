#pragma once
// The player objects of a player page as the page file holds them: which player, what it
// plays, whether it starts by itself. Read from the file's own bytes (GBK), so a target path
// in Chinese is read exactly, whatever encoding a browser would guess for the page.
#include <string>
#include <string_view>
#include <vector>

#include "player/playlist.h"

namespace melorin::player {

struct PlayerObject {
    PlayerKind kind = PlayerKind::WindowsMedia;
    std::string target;  // UTF-8, entities decoded, blanks at either end removed
    bool autoStart = true;
};

// Every OBJECT whose CLASSID (any case) names the RealPlayer or the Windows Media Player, in
// document order. The target is the RealPlayer's "SRC" or the Windows Media Player's
// "fileName" (or "URL") parameter; "AUTOSTART" of "0" or "false" keeps it from starting.
std::vector<PlayerObject> playerObjectsOf(std::string_view pageBytes);

}  // namespace melorin::player
