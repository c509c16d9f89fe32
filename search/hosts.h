// The five hosts through which the music search service is reached, and the address markers
// derived from them. Everything that recognises or builds a service address goes through
// here, so pointing Melorin at a local service ("127.0.0.1:8360") changes every marker.
#pragma once

#include <string>
#include <string_view>

namespace melorin::search {

struct Hosts {
    std::string mp3Search = "mp3.baidu.com";
    std::string flashSearch = "flash.baidu.com";
    std::string mainWeb = "www.baidu.com";
    std::string chart = "list.mp3.baidu.com";
    std::string singerList = "music.baidu.com";
};

// All five roles on one "HOST[:PORT]", as a local service serves them.
Hosts hostsOnOne(std::string_view hostAndPort);

// "http://" + MP3 search host + "/r?url=": a link holding it is a result link, and the file's
// own address follows it. Its length is the strip length of result links and list entries
// (27 with the public host).
std::string redirectPrefix(const Hosts& hosts);

// "http://" + MP3 search host + "/m?lm=": links carrying the client address after "&ip=".
std::string localIpMarker(const Hosts& hosts);

// The three kinds of link a chart, singer-index or album page lists.
std::string listMarkerMainWeb(const Hosts& hosts);     // ".../m?rn=&tn=baidump3&ct="
std::string listMarkerAlbum(const Hosts& hosts);       // ".../m?tn=baidump3&ct=134217728&word="
std::string listMarkerSingerList(const Hosts& hosts);  // ".../singer/"

}  // namespace melorin::search
