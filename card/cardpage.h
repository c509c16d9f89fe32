#pragma once
// The card page "card.html": a background picture, the title, a player object for the song
// and the greeting. GBK text with CR LF after every line, no byte-order mark, no charset line.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/songrow.h"

namespace melorin::card {

// Which player object plays the song: RealPlayer for RM and RAM files, Windows Media otherwise.
enum class PlayerKind { Real, WindowsMedia };

PlayerKind playerKindOf(const core::SongRow& song);

// What the editor holds, all UTF-8. Title and greeting are HTML the user writes: copied raw.
struct CardText {
    std::string title;
    std::vector<std::string> contentLines;  // the content box's lines as it shows them
    std::string picture;                    // the background picture's absolute path
};

// The page's lines, GBK bytes without line ends. Characters GBK cannot hold become numeric
// references (in the song's address: percent-encoded UTF-8); the address goes into the player's
// parameter with "&", "<", ">" and '"' as entities, since it comes from the network.
std::vector<std::string> cardPageLines(const core::SongRow& song, const CardText& card);
std::string cardPageBytes(const core::SongRow& song, const CardText& card);

// programDir (with its trailing "/") + "card.html".
std::string cardPagePath(std::string_view programDir);

// Writes the card of the card list's first row to cardPagePath(programDir), replacing the old
// page only once the new one is whole. An empty list writes nothing and is no failure. Returns
// what went wrong, for the failure hook.
std::optional<std::string> generateCardPage(std::string_view programDir,
                                            std::span<const core::SongRow> cardList,
                                            const CardText& card);

}  // namespace melorin::card
