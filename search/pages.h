// The search library as the window uses it: pages as the browser gives them (UTF-8 text and
// links) become song rows of the result list. The rules count GBK bytes, so the text is
// converted to GBK here, at their edge, and the rows come back in UTF-8.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/songrow.h"
#include "search/hosts.h"
#include "search/pagelink.h"
#include "search/requests.h"

namespace melorin::search {

// A loaded page: its links in document order and its body text, blocks on lines of their own.
struct LoadedPage {
    std::span<const PageLink> links;
    std::string_view bodyText;
};

// What the result list shows while a result page is read.
struct ListContext {
    int kindIndex = 0;   // the type box's item index now
    int headerIcon = 0;  // the list header's image index: the icon of rows found through links
    std::size_t rowsBefore = 0;
    // The addresses of the rows in the list: a link may not repeat one. None: no rows.
    const std::unordered_set<std::string>* knownAddresses = nullptr;
    bool countShown = false;  // the count label shows a count, not its initial text
    bool ipShown = false;     // the window caption shows the client address
};

struct ResultPageRead {
    std::vector<core::SongRow> rows;           // file rows to append, in order
    SearchState state;                         // row count, page and client address updated
    std::optional<std::string> countLabel;     // the count label's new text
    std::optional<std::string> captionSuffix;  // to append to the window caption
    bool requestNextPage = false;              // else the search has ended
};

ResultPageRead readResultPage(const Hosts& hosts, const SearchState& state, const LoadedPage& page,
                              const ListContext& list);

// The list entries of a chart, singer-index or album page, numbered on from `rowsBefore`.
std::vector<core::SongRow> readListPage(const Hosts& hosts, std::span<const PageLink> links,
                                        std::size_t rowsBefore);

}  // namespace melorin::search
