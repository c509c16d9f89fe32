// Byte-text helpers of the demo service: GBK conversion, query words, escaping.
#pragma once

#include <string>
#include <string_view>

namespace melorin::service {

// UTF-8 to GBK; characters GBK lacks become "?". Never throws.
std::string toGbk(std::string_view utf8);
// GBK to UTF-8; undecodable bytes are dropped.
std::string fromGbk(std::string_view gbk);
bool isValidUtf8(std::string_view bytes);

// A search word as it arrives after percent-decoding: kept when it is UTF-8 made of ASCII and
// characters of three or four bytes, else read as GBK (Melorin's pages are GBK, so either
// encoding may come back in a query).
std::string wordFromQuery(std::string_view bytes);

// Percent-encodes every byte except unreserved ASCII (letters, digits, "-._~").
std::string percentEncode(std::string_view bytes);
// Escapes & < > " ' for HTML text and attribute values.
std::string htmlEscape(std::string_view text);

}  // namespace melorin::service
