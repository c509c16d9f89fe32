#pragma once

#include <string>

namespace melorin::search {

// One link of a loaded page, in document order: its absolute `href` and its visible text. The
// window's side holds UTF-8; the parser (search/resultpage.h) holds the same link in GBK bytes.
struct PageLink {
    std::string href;
    std::string text;
};

}  // namespace melorin::search
