#include "search/resultsort.h"

#include <cmath>

namespace melorin::search {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::optional<double> unitFactor(std::string_view unit) {
    if (unit.size() == 2) {
        if (unit[1] != 'B' && unit[1] != 'b') return std::nullopt;
        unit.remove_suffix(1);
        if (unit[0] == 'B' || unit[0] == 'b') return std::nullopt;  // "BB"
    }
    if (unit.size() != 1) return std::nullopt;
    switch (unit[0]) {
        case 'B':
        case 'b':
            return 1.0;
        case 'K':
        case 'k':
            return 1024.0;
        case 'M':
        case 'm':
            return 1024.0 * 1024.0;
        case 'G':
        case 'g':
            return 1024.0 * 1024.0 * 1024.0;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<std::int64_t> sizeInBytes(std::string_view text) {
    text = trimmed(text);
    double whole = 0;
    double fraction = 0;
    double scale = 1;
    bool digits = false;
    bool point = false;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            if (point) {
                scale /= 10;
                fraction += (c - '0') * scale;
            } else {
                whole = whole * 10 + (c - '0');
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return std::nullopt;
    const std::optional<double> factor = unitFactor(trimmed(text.substr(i)));
    if (!factor) return std::nullopt;
    const double bytes = std::round((whole + fraction) * *factor);
    if (bytes > 1e15) return std::nullopt;
    return static_cast<std::int64_t>(bytes);
}

std::optional<std::int64_t> runningNumber(std::string_view caption) {
    caption = trimmed(caption);
    if (caption.empty() || caption.size() > 15) return std::nullopt;
    std::int64_t n = 0;
    for (const char c : caption) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::optional<ResultSortKey> sortKeyOfColumn(int column) {
    switch (column) {
        case 0:
            return ResultSortKey::Number;
        case 1:
            return ResultSortKey::Title;
        case 3:
            return ResultSortKey::Size;
        case 4:
            return ResultSortKey::Type;
        default:
            return std::nullopt;
    }
}

}  // namespace melorin::search
