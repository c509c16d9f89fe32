// The result page parser at the byte level: one loaded result page (its links and its body
// text as lines, all GBK bytes) becomes new rows of the result list, the count label, the
// client address and the decision whether the search goes on with the next page. Positions
// and lengths count GBK bytes, so the rules run on GBK; the window reads pages through
// search/pages.h, which converts at this edge.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "search/hosts.h"
#include "search/pagelink.h"
#include "search/requests.h"

namespace melorin::search::gbk {

using search::PageLink;  // in GBK bytes here

// A file row of the result list. `caption` is the 1-based row number as text; `icon` indexes
// the file-type icons in kind order (5 FLASH).
struct ResultRow {
    std::string caption;
    int icon = 0;
    std::string title;
    std::string address;
    std::string size;
    std::string type;

    bool operator==(const ResultRow&) const = default;
};

struct ResultPageInput {
    std::span<const PageLink> links;
    std::span<const std::string> lines;
    // The type box's item index now (the FLASH text pass runs for 5).
    int kindIndex = 0;
    // The list header's image index, set by the search request; rows found through links
    // carry it as their icon.
    int headerIcon = 0;
    // The rows already in the list: new rows are numbered on from them.
    std::size_t rowsBefore = 0;
    // Whether an address (sub-item 1 of a row) is in the list already; a link may not repeat
    // one. None: the list holds no addresses.
    std::function<bool(std::string_view address)> listed;
    // True while the count label still shows its initial text "搜索结果为:".
    bool countLabelInitial = true;
    // True once the window caption holds "本机ip为".
    bool captionHasIp = false;
};

struct ResultPageOutput {
    std::vector<ResultRow> rows;               // to append, in order
    SearchState state;                         // searchRowCount, searchPage, localIp updated
    std::optional<std::string> countLabel;     // the label's new text (GBK)
    std::optional<std::string> captionSuffix;  // to append to the window caption (GBK)
    bool requestNextPage = false;              // else the search has ended
};

ResultPageOutput parseResultPage(const Hosts& hosts, const SearchState& state,
                                 const ResultPageInput& page);

}  // namespace melorin::search::gbk
