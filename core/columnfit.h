#pragma once

// How a list shares its width among its columns: every column as wide as its content while
// they all fit; otherwise the widest are narrowed to one common width (their texts elided), so
// that the narrow columns beside them stay in view.

#include <vector>

namespace melorin::core {

// `wanted`: each column's content width; `least`: the width below which a column is never
// narrowed (its caption). When even the least widths do not fit, every narrowed column gets its
// least and the list scrolls. The result has one width per column.
[[nodiscard]] std::vector<int> fitColumnWidths(const std::vector<int>& wanted,
                                               const std::vector<int>& least, int available);

}  // namespace melorin::core
