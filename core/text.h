#pragma once
// Text at the program's edges: GBK for the service's pages and for the files the program
// writes (entities for markup: core/markup.h). Everything inside is UTF-8.
#include <span>
#include <string>
#include <string_view>

namespace melorin::core {

// What becomes of a character that GBK cannot hold. Never dropped, never "?".
enum class Unencodable {
    NumericReference,  // "&#128512;": for HTML pages and XML lists
    PercentUtf8,       // "%F0%9F%98%80": for lines that hold addresses
    // GB18030's four bytes: for texts that only the program reads back (a page's text in the
    // parser), so that gbkToUtf8() gives back the very character, U+FFFD included.
    FourByte,
};

std::string utf8ToGbk(std::string_view utf8, Unencodable fallback = Unencodable::NumericReference);
// Invalid GBK sequences become U+FFFD; a sequence cut off at the end is dropped. GB18030's
// four-byte sequences (never valid GBK) give their characters back.
std::string gbkToUtf8(std::string_view gbk);

// Whether the bytes are UTF-8: no stray or cut-off sequence, no overlong form, no surrogate.
bool isValidUtf8(std::string_view bytes);

// Lines joined with CR LF after every line, the last one included.
std::string crlfLines(std::span<const std::string> lines);

}  // namespace melorin::core
