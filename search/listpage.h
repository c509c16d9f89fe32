// Chart, singer-index and album pages at the byte level (GBK): their links become list entries
// (a name and a link remainder) that start a search for the name when chosen. The window reads
// them through search/pages.h.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "search/hosts.h"
#include "search/resultpage.h"

namespace melorin::search::gbk {

// A list entry of the result list: two sub-items only, icon 0.
struct ListEntry {
    std::string caption;
    std::string title;
    std::string address;

    bool operator==(const ListEntry&) const = default;
};

// Entries for the links of a list page, in document order, numbered on from `rowsBefore`.
// A link matching several link classes gives one entry per class. The address is the `href`
// less as many bytes as the redirect prefix has.
std::vector<ListEntry> readListPage(const Hosts& hosts, std::span<const PageLink> links,
                                    std::size_t rowsBefore);

}  // namespace melorin::search::gbk
