#include "search/pages.h"

#include "core/text.h"
#include "search/bytetext.h"
#include "search/listpage.h"
#include "search/resultpage.h"

namespace melorin::search {

namespace {

// The parser works on GBK bytes; a character beyond GBK (a numeric reference the browser
// decoded, or U+FFFD for bytes that were not GBK) comes back as itself in the rows.
std::string toGbk(std::string_view utf8) {
    return core::utf8ToGbk(utf8, core::Unencodable::FourByte);
}

std::vector<gbk::PageLink> gbkLinks(std::span<const PageLink> links) {
    std::vector<gbk::PageLink> out;
    out.reserve(links.size());
    for (const PageLink& l : links) out.push_back({toGbk(l.href), toGbk(l.text)});
    return out;
}

SearchState gbkState(SearchState s) {
    s.localIp = toGbk(s.localIp);
    return s;
}

SearchState utf8State(SearchState s) {
    s.localIp = core::gbkToUtf8(s.localIp);
    return s;
}

}  // namespace

ResultPageRead readResultPage(const Hosts& hosts, const SearchState& state, const LoadedPage& page,
                              const ListContext& list) {
    const std::vector<gbk::PageLink> links = gbkLinks(page.links);
    const std::vector<std::string> lines = splitLines(toGbk(page.bodyText));
    gbk::ResultPageInput in;
    in.links = links;
    in.lines = lines;
    in.kindIndex = list.kindIndex;
    in.headerIcon = list.headerIcon;
    in.rowsBefore = list.rowsBefore;
    if (list.knownAddresses != nullptr && !list.knownAddresses->empty()) {
        // Only the page's candidates are converted, never the whole list.
        in.listed = [known = list.knownAddresses](std::string_view address) {
            return known->count(core::gbkToUtf8(address)) > 0;
        };
    }
    in.countLabelInitial = !list.countShown;
    in.captionHasIp = list.ipShown;
    const gbk::ResultPageOutput out = gbk::parseResultPage(hosts, gbkState(state), in);

    ResultPageRead read;
    read.rows.reserve(out.rows.size());
    for (const gbk::ResultRow& r : out.rows) {
        read.rows.push_back({core::RowShape::File, core::gbkToUtf8(r.caption), r.icon,
                             core::gbkToUtf8(r.title), core::gbkToUtf8(r.address),
                             core::gbkToUtf8(r.size), core::gbkToUtf8(r.type)});
    }
    read.state = utf8State(out.state);
    if (out.countLabel) read.countLabel = core::gbkToUtf8(*out.countLabel);
    if (out.captionSuffix) read.captionSuffix = core::gbkToUtf8(*out.captionSuffix);
    read.requestNextPage = out.requestNextPage;
    return read;
}

std::vector<core::SongRow> readListPage(const Hosts& hosts, std::span<const PageLink> links,
                                        std::size_t rowsBefore) {
    const std::vector<gbk::PageLink> bytes = gbkLinks(links);
    std::vector<core::SongRow> rows;
    for (const gbk::ListEntry& e : gbk::readListPage(hosts, bytes, rowsBefore)) {
        rows.push_back(core::listEntry(core::gbkToUtf8(e.caption), core::gbkToUtf8(e.title),
                                       core::gbkToUtf8(e.address)));
    }
    return rows;
}

}  // namespace melorin::search
