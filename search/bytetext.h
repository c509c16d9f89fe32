// Byte-string helpers for GBK page texts: 1-based positions, byte-wise case-sensitive search,
// and substrings that never read outside their text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace melorin::search {

// 1-based position of the first occurrence of `needle` in `hay`, 0 when absent.
// An empty needle is never found.
std::size_t pos(std::string_view needle, std::string_view hay);

inline bool contains(std::string_view hay, std::string_view needle) {
    return pos(needle, hay) != 0;
}

// Removes every byte with a code from 0 to 32 at both ends.
std::string_view trim(std::string_view s);

// The first / last n bytes; the whole text when it is shorter, empty for n <= 0.
std::string_view leftBytes(std::string_view s, long long n);
std::string_view rightBytes(std::string_view s, long long n);

// `count` bytes from 1-based position `start`; empty when start lies beyond the end or
// count <= 0, clipped at the end otherwise. A start below 1 counts from the first byte.
std::string_view midBytes(std::string_view s, long long start, long long count);

// Splits a page body into lines at CR LF, LF or a lone CR, the way a multi-line text box
// takes text. A final line break does not start another line; empty text gives no lines.
std::vector<std::string> splitLines(std::string_view text);

// Fixed GBK texts of the result pages and the window.
namespace gbk {
// 百度为您找到相关结果
inline constexpr std::string_view kCountMarker =
    "\xB0\xD9\xB6\xC8\xCE\xAA\xC4\xFA\xD5\xD2\xB5\xBD\xCF\xE0\xB9\xD8\xBD\xE1\xB9\xFB";
// 篇
inline constexpr std::string_view kCountEnd = "\xC6\xAA";
// " 搜索结果  ", followed by the count
inline constexpr std::string_view kCountLabelPrefix = " \xCB\xD1\xCB\xF7\xBD\xE1\xB9\xFB  ";
// 搜索结果为: (the count label's initial text)
inline constexpr std::string_view kCountLabelInitial =
    "\xCB\xD1\xCB\xF7\xBD\xE1\xB9\xFB\xCE\xAA"
    ":";
// 作者 and 大小: a FLASH result line holds both
inline constexpr std::string_view kAuthor = "\xD7\xF7\xD5\xDF";
inline constexpr std::string_view kSize = "\xB4\xF3\xD0\xA1";
// 本机ip为: the window caption holds it once the client address is shown
inline constexpr std::string_view kCaptionIpMarker =
    "\xB1\xBE\xBB\xFA"
    "ip\xCE\xAA";
// "   本机ip为:" and two spaces, followed by the address
inline constexpr std::string_view kCaptionIpPrefix =
    "   \xB1\xBE\xBB\xFA"
    "ip\xCE\xAA"
    ":  ";
}  // namespace gbk

}  // namespace melorin::search
