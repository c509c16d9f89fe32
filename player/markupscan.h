#pragma once
// Reading tags out of markup: play lists and player pages. Tolerant of anything (cut-off
// tags, odd quoting); it finds what is there and never reads past the text.
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace melorin::player::markup {

std::string lowered(std::string_view text);
std::string_view trimmed(std::string_view text);

// A tag such as "<ref href=...>" or "</object>": its name in lower case (with the "/" of a
// closing tag), the text between the name and the closing ">" (a quoted value may hold ">"),
// where it begins and where the text goes on after it.
struct Tag {
    std::string name;
    std::string_view attributes;
    std::size_t begin = 0;
    std::size_t end = 0;
};

// The tags of a text in document order, as a browser's parser meets them: comments,
// declarations, a "<" that starts no tag, the values of other tags and the content of raw-text
// elements (script, style, textarea, title, ...) hold none. One pass over the text, however
// it is broken. Works on ASCII-compatible bytes (UTF-8, GBK: no GBK character holds "<", ">",
// "=", a quotation mark or a blank).
class TagReader {
public:
    explicit TagReader(std::string_view text);
    std::optional<Tag> next();

private:
    std::string_view text_;
    std::string lower_;  // the text in lower case, for the end of a raw-text element
    std::size_t at_ = 0;
};

// The value of attribute `name` (given in lower case; any case in the text), as the tag holds
// it; double, single or no quotes.
std::optional<std::string_view> rawAttribute(std::string_view attributes, std::string_view name);
// The same with entities decoded.
std::optional<std::string> attribute(std::string_view attributes, std::string_view name);

}  // namespace melorin::player::markup
