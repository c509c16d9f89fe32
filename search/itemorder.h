#pragma once
// The rows of a page's items, handed on in the page's order although the items' answers come
// back in any order: an item's rows go out once every item before it is in.
#include <cstddef>
#include <optional>
#include <vector>

#include "core/songrow.h"

namespace melorin::search {

class ItemOrder {
public:
    ItemOrder() = default;
    explicit ItemOrder(std::size_t items) : slots_(items) {}

    // Item `item`'s rows (none for an item that gave nothing); only its first answer counts.
    void put(std::size_t item, std::vector<core::SongRow> rows);
    // The rows of the items now in order that were not taken before.
    [[nodiscard]] std::vector<core::SongRow> takeReady();

    [[nodiscard]] std::size_t size() const { return slots_.size(); }
    [[nodiscard]] std::size_t arrived() const { return arrived_; }
    // Every item is in and its rows were taken.
    [[nodiscard]] bool complete() const { return taken_ == slots_.size(); }
    // Some item had rows.
    [[nodiscard]] bool anyRows() const { return anyRows_; }

private:
    std::vector<std::optional<std::vector<core::SongRow>>> slots_;
    std::size_t arrived_ = 0;
    std::size_t taken_ = 0;  // items before this one have been handed on
    bool anyRows_ = false;
};

}  // namespace melorin::search
