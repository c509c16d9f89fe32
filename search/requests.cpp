#include "search/requests.h"

#include "core/text.h"

namespace melorin::search {

namespace {

std::string onHost(std::string_view host, std::string_view path) {
    std::string s = "http://";
    s += host;
    s += path;
    return s;
}

// "&lm=N" for the MP3 family, "&lm=-1" for anything else.
std::string lmParameter(int kindIndex) {
    return isMp3Family(kindIndex) ? "&lm=" + std::to_string(kindIndex) : std::string("&lm=-1");
}

// The search box's text as it goes into an address.
std::string wireText(std::string_view utf8) {
    return core::utf8ToGbk(utf8, core::Unencodable::PercentUtf8);
}

std::optional<std::string> onWire(std::optional<std::string> address) {
    if (address) *address = wireAddress(*address);
    return address;
}

}  // namespace

std::string firstPageAddress(const Hosts& hosts, std::string_view text, int kindIndex) {
    if (kindIndex == static_cast<int>(MediaKind::Flash)) {
        std::string a =
            onHost(hosts.flashSearch, "/f?tn=flash&sort=time&rn=10&pn=0&cl=3&f=8&word=");
        a += text;
        a += "&ct=33554432";
        return a;
    }
    std::string a = onHost(hosts.mp3Search, "/m?tn=baidump3&ct=134217728&rn=&word=");
    a += text;
    a += lmParameter(kindIndex);
    return a;
}

std::optional<std::string> nextPageAddress(const Hosts& hosts, std::string_view text, int kindIndex,
                                           int searchPage, std::string_view localIp) {
    // 64-bit so that a huge page counter cannot overflow into a small offset.
    if (isMp3Family(kindIndex)) {
        const long long offset = static_cast<long long>(searchPage) * kMp3PageSize;
        if (offset > kMp3OffsetLimit) return std::nullopt;
        std::string a = onHost(hosts.mp3Search, "/m?lm=");
        a += std::to_string(kindIndex);
        a += "&ct=134217728&tn=baidump3&word=";
        a += text;
        a += "&pn=" + std::to_string(offset);
        a += "&ip=";
        a += localIp;
        a += "&cl=3&z=0";
        return a;
    }
    const long long offset = static_cast<long long>(searchPage) * kFlashPageSize;
    if (offset > kFlashOffsetLimit) return std::nullopt;
    std::string a = onHost(hosts.mainWeb, "/f?lm=0&ct=33554432&tn=flash&word=");
    a += text;
    a += "&pn=" + std::to_string(offset);
    return a;
}

std::string listPageAddress(const Hosts& hosts, ListPage page) {
    switch (page) {
        case ListPage::MaleSingers:
            return onHost(hosts.chart, "/ngeshou.html");
        case ListPage::FemaleSingers:
            return onHost(hosts.chart, "/ygeshou.html");
        case ListPage::Songs:
            return onHost(hosts.chart, "/mp3.html");
        case ListPage::AllSingers:
            break;
    }
    return onHost(hosts.singerList, "/singer/singers.html");
}

std::string albumAddress(const Hosts& hosts, std::string_view text, int kindIndex) {
    std::string a = onHost(hosts.mp3Search, "/m?tn=baidump3&ct=134217728&rn=&word=");
    a += text;
    a += lmParameter(kindIndex);
    return a;
}

std::string wireAddress(std::string_view address) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(address.size());
    for (const char ch : address) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 || b == ' ') {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        } else {
            out += ch;
        }
    }
    return out;
}

Request newSearch(const SearchState& state, std::string_view text, int kindIndex) {
    Request r;
    r.state = state;
    r.state.searchStopped = false;
    if (text.empty()) {
        r.focusSearchBox = true;
        return r;
    }
    r.clearList = true;
    // A new search shows its own count again.
    r.resetCountLabel = true;
    r.state.searchRowCount = 0;
    r.headerIcon = (kindIndex >= 0 && kindIndex <= 5) ? kindIndex : 5;
    r.state.searchPage = 1;
    return r;
}

Request searchRequest(const Hosts& hosts, const SearchState& state, std::string_view text,
                      int kindIndex) {
    Request r = newSearch(state, text, kindIndex);
    if (r.clearList) r.address = wireAddress(firstPageAddress(hosts, wireText(text), kindIndex));
    return r;
}

Request nextPageRequest(const Hosts& hosts, const SearchState& state, std::string_view text,
                        int kindIndex) {
    Request r;
    r.state = state;
    r.address = onWire(nextPageAddress(hosts, wireText(text), kindIndex, state.searchPage,
                                       wireText(state.localIp)));
    return r;
}

Request typeChangedRequest(const Hosts& hosts, const SearchState& state, std::string_view text,
                           int kindIndex) {
    const bool boxHasText = kindIndex >= 0 && kindIndex <= 5;
    if (!boxHasText || text.empty()) {
        Request r;
        r.state = state;
        return r;
    }
    return searchRequest(hosts, state, text, kindIndex);
}

Request listPageRequest(const Hosts& hosts, const SearchState& state, ListPage page) {
    Request r;
    r.browser = Browser::Lists;
    r.state = state;
    r.clearList = true;
    r.address = wireAddress(listPageAddress(hosts, page));
    return r;
}

Request albumRequest(const Hosts& hosts, const SearchState& state, std::string_view text,
                     int kindIndex) {
    Request r;
    r.browser = Browser::Lists;
    r.state = state;
    if (text.empty()) {
        r.focusSearchBox = true;
        return r;
    }
    r.clearList = true;
    r.state.searchRowCount = 0;
    r.address = wireAddress(albumAddress(hosts, wireText(text), kindIndex));
    return r;
}

}  // namespace melorin::search
