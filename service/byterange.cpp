#include "service/byterange.h"

#include <charconv>

namespace melorin::service {

namespace {

bool parseNumber(std::string_view s, std::uint64_t& out) {
    if (s.empty()) return false;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

RangeAnswer answerRange(std::string_view header, std::uint64_t length) {
    using K = RangeAnswer::Kind;
    header = trimmed(header);
    constexpr std::string_view unit = "bytes=";
    if (header.substr(0, unit.size()) != unit) return {};
    const std::string_view rangeText = trimmed(header.substr(unit.size()));
    if (rangeText.find(',') != std::string_view::npos) return {};
    const auto dash = rangeText.find('-');
    if (dash == std::string_view::npos) return {};
    const std::string_view a = trimmed(rangeText.substr(0, dash));
    const std::string_view b = trimmed(rangeText.substr(dash + 1));

    std::uint64_t first = 0;
    std::uint64_t last = 0;
    if (a.empty()) {  // suffix: the last n bytes
        std::uint64_t n = 0;
        if (!parseNumber(b, n)) return {};
        if (n == 0 || length == 0) return {K::Unsatisfiable};
        first = n >= length ? 0 : length - n;
        return {K::Partial, first, length - 1};
    }
    if (!parseNumber(a, first)) return {};
    if (b.empty()) {
        last = length == 0 ? 0 : length - 1;
    } else {
        if (!parseNumber(b, last) || last < first) return {};
        if (length > 0 && last >= length) last = length - 1;
    }
    if (first >= length) return {K::Unsatisfiable};
    return {K::Partial, first, last};
}

}  // namespace melorin::service
