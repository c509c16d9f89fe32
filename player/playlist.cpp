#include "player/playlist.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "player/entrylist.h"

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

namespace {

// The address a row stands for: a file row's, or the one a line of a list file holds.
std::string rowAddress(const core::SongRow& row) {
    if (row.shape == core::RowShape::File) return row.address;
    if (row.shape != core::RowShape::FileLine) return {};
    const std::vector<std::string> refs = asxEntries(row.caption);
    if (!refs.empty()) return refs.front();
    const std::vector<std::string> lines = lineListEntries(row.caption);
    return lines.empty() ? std::string() : lines.front();
}

template <typename Matches>
std::optional<std::size_t> nearestMatch(const std::vector<core::SongRow>& rows, int around,
                                        Matches matches) {
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!matches(rows[i])) continue;
        const auto distance = [around](std::size_t r) {
            return std::abs(static_cast<long long>(r) - around);
        };
        if (!best || distance(i) < distance(*best)) best = i;
    }
    return best;
}

}  // namespace

std::optional<std::size_t> rowOfEntry(const std::vector<core::SongRow>& playList,
                                      std::string_view address, std::string_view title,
                                      int entryIndex) {
    if (!address.empty()) {
        const auto byAddress =
            nearestMatch(playList, entryIndex,
                         [address](const core::SongRow& r) { return rowAddress(r) == address; });
        if (byAddress) return byAddress;
    }
    if (title.empty()) return std::nullopt;
    return nearestMatch(playList, entryIndex, [title](const core::SongRow& r) {
        return r.shape == core::RowShape::File && r.title == title;
    });
}

}  // namespace melorin::player
