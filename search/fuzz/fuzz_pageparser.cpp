// libFuzzer target for the result page parser and the list page reader.
// Input: one byte for the type box index, one byte of flags, then a page as in the test
// fixtures: the body text, a "----links----" line, one "href<TAB>text" line per link.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "search/bytetext.h"
#include "search/listpage.h"
#include "search/resultpage.h"

using namespace melorin::search;
using namespace melorin::search::gbk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int kind = static_cast<int>(data[0] % 8) - 1;
    const std::uint8_t flags = data[1];
    const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);

    constexpr std::string_view kSep = "\n----links----\n";
    const auto cut = rest.find(kSep);
    const std::vector<std::string> lines = splitLines(rest.substr(0, cut));
    std::vector<PageLink> links;
    if (cut != std::string_view::npos) {
        for (const auto& l : splitLines(rest.substr(cut + kSep.size()))) {
            const auto tab = l.find('\t');
            links.push_back({l.substr(0, tab), tab == std::string::npos ? "" : l.substr(tab + 1)});
        }
    }

    const Hosts hosts = (flags & 1) ? hostsOnOne("127.0.0.1:8360") : Hosts{};
    SearchState state{1, 0, (flags & 2) != 0, (flags & 4) ? "1.2.3.4" : ""};
    ResultPageInput in;
    in.links = links;
    in.lines = lines;
    in.kindIndex = kind;
    in.headerIcon = kind;
    in.countLabelInitial = (flags & 8) != 0;
    in.captionHasIp = (flags & 16) != 0;
    const ResultPageOutput out = parseResultPage(hosts, state, in);
    if (static_cast<std::size_t>(out.state.searchRowCount) != out.rows.size()) std::abort();
    for (std::size_t i = 0; i < out.rows.size(); ++i)
        if (out.rows[i].caption != std::to_string(i + 1)) std::abort();
    if (out.requestNextPage == out.rows.empty() && !state.searchStopped) std::abort();

    // The same page again with its rows listed: no link row may come back.
    std::vector<std::string> listed;
    for (const auto& r : out.rows) listed.push_back(r.address);
    in.rowsBefore = listed.size();
    in.listed = [&listed](std::string_view a) {
        return std::find(listed.begin(), listed.end(), a) != listed.end();
    };
    const ResultPageOutput again = parseResultPage(hosts, out.state, in);
    for (const auto& r : again.rows)
        if (r.type != "html") std::abort();

    (void)readListPage(hosts, links, listed.size());
    return 0;
}
