#include "search/listpage.h"

#include "search/bytetext.h"

namespace melorin::search::gbk {

std::vector<ListEntry> readListPage(const Hosts& hosts, std::span<const PageLink> links,
                                    std::size_t rowsBefore) {
    const std::string mainWeb = listMarkerMainWeb(hosts);
    const std::string album = listMarkerAlbum(hosts);
    const std::string singers = listMarkerSingerList(hosts);
    const std::size_t strip = redirectPrefix(hosts).size();

    std::vector<ListEntry> entries;
    for (const auto& link : links) {
        const std::string_view href = link.href;
        const int matches = int{contains(href, mainWeb)} +
                            int{contains(href, album) && contains(href, "&f=al")} +
                            int{contains(href, singers)};
        for (int m = 0; m < matches; ++m) {
            ListEntry e;
            e.caption = std::to_string(rowsBefore + entries.size() + 1);
            e.title = link.text;
            e.address = href.size() > strip ? std::string(href.substr(strip)) : std::string();
            entries.push_back(std::move(e));
        }
    }
    return entries;
}

}  // namespace melorin::search::gbk
