#include "search/catalogueengine.h"

#include "search/catalogueaddress.h"
#include "search/cataloguetext.h"

namespace melorin::search {

CatalogueEngine::CatalogueEngine(std::string boxName, std::string shortName, std::string_view base)
    : boxName_(std::move(boxName)), shortName_(std::move(shortName)), base_(trimBase(base)) {}

std::string_view trimmedText(std::string_view text) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

Request CatalogueEngine::search(const SearchState& state, std::string_view text,
                                int kindIndex) const {
    text = trimmedText(text);
    Request r = newSearch(state, text, kindIndex);
    if (!r.clearList) return r;
    if (!holdsKind(kindIndex)) {
        r.statusLine = missingKindLine(shortName_, kindIndex);
        return r;
    }
    r.address = pageAddress(text, 1);
    return r;
}

Request CatalogueEngine::nextPage(const SearchState& state, std::string_view text,
                                  int kindIndex) const {
    Request r;
    r.state = state;
    text = trimmedText(text);
    if (state.searchStopped || state.searchRowCount >= kCatalogueRowLimit || text.empty() ||
        !holdsKind(kindIndex)) {
        return r;
    }
    r.address = pageAddress(text, state.searchPage);
    return r;
}

}  // namespace melorin::search
