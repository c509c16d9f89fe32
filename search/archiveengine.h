#pragma once
// The Internet Archive's audio collections as a search engine. A search page
// (advancedsearch.php) lists items; each item's metadata lists its files, and its MP3 files
// become rows: of several MP3s made from one original only the best (VBR first, then the
// highest rate). Dark and access-restricted items give nothing.
#include <string>
#include <string_view>

#include "search/catalogueengine.h"

namespace melorin::search {

class ArchiveEngine final : public CatalogueEngine {
public:
    static constexpr std::string_view kPublicBase = "https://archive.org";
    static constexpr int kItemsPerPage = 50;

    explicit ArchiveEngine(std::string_view base = kPublicBase);

    // The items of a search page, the count label from numFound on the first page, and a next
    // page while numFound goes past this page.
    [[nodiscard]] PageReading readPage(const SearchState& state, const Answer& answer,
                                       const ListContext& list) const override;
    // One row per chosen MP3 file: "title - creator", {base}/download/{id}/{name} with every
    // path segment encoded, the size, "mp3".
    [[nodiscard]] ItemReading readItem(const ItemRef& item, const Answer& answer,
                                       const ListContext& list) const override;

protected:
    [[nodiscard]] std::string pageAddress(std::string_view text, int page) const override;
};

// The search query: the text as title or creator, audio only; the query language's special
// characters in the text are escaped, so any text is searched as words.
std::string archiveQuery(std::string_view text);

}  // namespace melorin::search
