#pragma once
// What the music catalogues share as engines: plain HTTP GETs, no list pages, the search text
// trimmed and sent as UTF-8, percent-encoded, only the kinds the catalogue holds, and pages
// until a page adds nothing, the user stops, or kCatalogueRowLimit rows are listed.
#include <string>
#include <string_view>

#include "search/engine.h"

namespace melorin::search {

class CatalogueEngine : public Engine {
public:
    // `boxName` is the engine box's text, `shortName` the one status-bar lines use; `base` is
    // "https://host[/path]" (a trailing slash is dropped).
    CatalogueEngine(std::string boxName, std::string shortName, std::string_view base);

    [[nodiscard]] std::string name() const final { return boxName_; }
    [[nodiscard]] std::string shortName() const final { return shortName_; }
    [[nodiscard]] const std::string& base() const { return base_; }
    [[nodiscard]] Transport transport() const final { return Transport::Http; }
    [[nodiscard]] bool hasListPages() const final { return false; }

    // An empty text only focuses the search box; a kind the catalogue lacks clears the list and
    // says so; otherwise clears the list and asks for page 1.
    [[nodiscard]] Request search(const SearchState& state, std::string_view text,
                                 int kindIndex) const final;
    // Page state.searchPage, unless the search was stopped or the list is full.
    [[nodiscard]] Request nextPage(const SearchState& state, std::string_view text,
                                   int kindIndex) const final;

protected:
    // The address of page `page` (1 = the first) for the trimmed, non-empty text.
    [[nodiscard]] virtual std::string pageAddress(std::string_view text, int page) const = 0;
    [[nodiscard]] virtual bool holdsKind(int kindIndex) const { return kindIndex == 0; }

private:
    std::string boxName_;
    std::string shortName_;
    std::string base_;
};

// The search box's text as a catalogue takes it: blanks and control characters trimmed.
std::string_view trimmedText(std::string_view text);

}  // namespace melorin::search
