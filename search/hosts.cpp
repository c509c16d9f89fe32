#include "search/hosts.h"

namespace melorin::search {

Hosts hostsOnOne(std::string_view hostAndPort) {
    const std::string h(hostAndPort);
    return Hosts{h, h, h, h, h};
}

static std::string onHost(std::string_view host, std::string_view rest) {
    std::string s = "http://";
    s += host;
    s += rest;
    return s;
}

std::string redirectPrefix(const Hosts& hosts) {
    return onHost(hosts.mp3Search, "/r?url=");
}

std::string localIpMarker(const Hosts& hosts) {
    return onHost(hosts.mp3Search, "/m?lm=");
}

std::string listMarkerMainWeb(const Hosts& hosts) {
    return onHost(hosts.mainWeb, "/m?rn=&tn=baidump3&ct=");
}

std::string listMarkerAlbum(const Hosts& hosts) {
    return onHost(hosts.mp3Search, "/m?tn=baidump3&ct=134217728&word=");
}

std::string listMarkerSingerList(const Hosts& hosts) {
    return onHost(hosts.singerList, "/singer/");
}

}  // namespace melorin::search
