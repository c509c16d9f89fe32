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

// The first tag at or after `from` whose name is one of `names`, or nothing.
std::optional<Tag> nextTag(std::string_view text, std::size_t from,
                           std::initializer_list<std::string_view> names);
// The value of attribute `name` (given in lower case; any case in the text) with entities
// decoded; double, single or no quotes.
std::optional<std::string> attribute(std::string_view attributes, std::string_view name);

}  // namespace melorin::player::markup
