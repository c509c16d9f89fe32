#pragma once
// Markup made safe and right for the HTML parser (gumbo) before it reads a page.
//
// Nesting: the parser's time grows with the square of the nesting (100,000 nested <div> take
// half a minute) and its clean-up recurses once per level, so a hostile page could hang or
// crash the reader. Browsers stop nesting at a few hundred levels; here the start tags past
// `maxDepth` open elements are left out, with their end tags, and their text stays where it was.
//
// Forms: the parser puts text that stands right before </form> after the form instead of in
// it; an empty comment before each </form> keeps that text in its place.
#include <string>
#include <string_view>

namespace melorin::core {

inline constexpr int kMaxNesting = 512;

// Elements that close themselves (void elements, <p>, <li>, table rows and cells, options,
// links) do not count as nesting.
std::string guardedMarkup(std::string_view html, int maxDepth = kMaxNesting);

}  // namespace melorin::core
