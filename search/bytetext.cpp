#include "search/bytetext.h"

#include <algorithm>
#include <cstring>

namespace melorin::search {

std::size_t pos(std::string_view needle, std::string_view hay) {
    if (needle.empty() || needle.size() > hay.size()) return 0;
    const void* hit = memmem(hay.data(), hay.size(), needle.data(), needle.size());
    if (!hit) return 0;
    return static_cast<std::size_t>(static_cast<const char*>(hit) - hay.data()) + 1;
}

std::string_view trim(std::string_view s) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    std::size_t b = 0, e = s.size();
    while (b < e && blank(s[b])) ++b;
    while (e > b && blank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string_view leftBytes(std::string_view s, long long n) {
    if (n <= 0) return {};
    return s.substr(0, std::min<std::size_t>(s.size(), static_cast<std::size_t>(n)));
}

std::string_view rightBytes(std::string_view s, long long n) {
    if (n <= 0) return {};
    const auto k = std::min<std::size_t>(s.size(), static_cast<std::size_t>(n));
    return s.substr(s.size() - k);
}

std::string_view midBytes(std::string_view s, long long start, long long count) {
    if (start < 1) start = 1;
    if (count <= 0 || static_cast<unsigned long long>(start) > s.size()) return {};
    const auto from = static_cast<std::size_t>(start - 1);
    return s.substr(from, std::min<std::size_t>(s.size() - from, static_cast<std::size_t>(count)));
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < n) lines.emplace_back(text.substr(start));
    return lines;
}

}  // namespace melorin::search
