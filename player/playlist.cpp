#include "player/playlist.h"

#include <algorithm>
#include <cctype>

namespace melorin::player {
namespace {

bool isRealType(std::string_view type) {
    return type == "rm" || type == "ram";
}

bool isWindowsMediaType(std::string_view type) {
    return type == "asf" || type == "wma";
}

bool refusesMix(std::string_view selected, std::string_view first) {
    if (selected == first) return false;
    return (isRealType(selected) && isWindowsMediaType(first)) ||
           (isWindowsMediaType(selected) && isRealType(first));
}

}  // namespace

PlayerKind playerKindOf(std::string_view type) {
    std::string upper(type);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper == "RM" || upper == "RAM" ? PlayerKind::Real : PlayerKind::WindowsMedia;
}

PlayerKind playerKindOf(const std::vector<core::SongRow>& rows) {
    return rows.empty() ? PlayerKind::WindowsMedia : playerKindOf(rows.front().type);
}

bool lacksFileRows(const std::vector<core::SongRow>& playList) {
    return playList.empty() || !playList.front().isFile();
}

AddOutcome addToPlayList(const std::vector<core::SongRow>& playList,
                         const std::vector<core::SongRow>& selection) {
    AddOutcome out;
    for (const core::SongRow& row : selection) {
        if (row.isFile()) out.rows.push_back(row);
    }
    if (out.rows.empty()) {
        out.message = kNothingSelectedMessage;
        return out;
    }
    if (!playList.empty()) {
        if (!playList.front().isFile()) {
            out.emptyPlayListFirst = true;
        } else if (refusesMix(out.rows.front().type, playList.front().type)) {
            out.rows.clear();
            out.message = kTypeMismatchMessage;
        }
    }
    return out;
}

void applyAdd(const AddOutcome& outcome, std::vector<core::SongRow>& playList,
              std::vector<core::SongRow>& cardList) {
    if (outcome.refused()) return;
    if (outcome.emptyPlayListFirst) playList.clear();
    playList.insert(playList.end(), outcome.rows.begin(), outcome.rows.end());
    cardList.insert(cardList.end(), outcome.rows.begin(), outcome.rows.end());
}

int heightAfterShowingPage(int height, int shrink) {
    return height >= 140 ? height - shrink : height;
}

int heightAfterClear(int height) {
    return height < 140 ? 145 : height;
}

}  // namespace melorin::player
