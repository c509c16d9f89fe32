#pragma once
// What the result list sorts by when a column header is clicked: the running number, the title,
// the size by its bytes and the type. Size texts come from pages and catalogues ("3.5M", "512K",
// "2.4 M", "12.M"), so they are read, never trusted.
#include <cstdint>
#include <optional>
#include <string_view>

namespace melorin::search {

// The bytes a size text stands for: a number (digits with at most one decimal point), blanks,
// then the unit B, K, M or G in either case, "KB", "MB" and "GB" too; blanks around it. nullopt
// for anything else, an empty text and sizes past a petabyte included.
std::optional<std::int64_t> sizeInBytes(std::string_view text);

// A caption's running number; nullopt when the caption is no number.
std::optional<std::int64_t> runningNumber(std::string_view caption);

enum class ResultSortKey { Number, Title, Size, Type };
// The key a click on a header sorts by; the address column sorts nothing.
std::optional<ResultSortKey> sortKeyOfColumn(int column);

}  // namespace melorin::search
