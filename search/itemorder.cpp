#include "search/itemorder.h"

namespace melorin::search {

void ItemOrder::put(std::size_t item, std::vector<core::SongRow> rows) {
    if (item >= slots_.size() || slots_[item].has_value()) return;
    anyRows_ = anyRows_ || !rows.empty();
    slots_[item] = std::move(rows);
    ++arrived_;
}

std::vector<core::SongRow> ItemOrder::takeReady() {
    std::vector<core::SongRow> out;
    while (taken_ < slots_.size() && slots_[taken_].has_value()) {
        std::vector<core::SongRow>& rows = *slots_[taken_];
        out.insert(out.end(), std::make_move_iterator(rows.begin()),
                   std::make_move_iterator(rows.end()));
        rows.clear();
        ++taken_;
    }
    return out;
}

}  // namespace melorin::search
