#include "download/address.h"

#include <algorithm>
#include <cctype>

namespace melorin::download {
namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool hostCharOk(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '.' || c == '-' || c == '_';
}

std::optional<int> parsePort(std::string_view s) {
    if (s.empty() || s.size() > 5) return std::nullopt;
    int port = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) return std::nullopt;
    return port;
}

}  // namespace

std::string Address::url() const {
    static const char* hex = "0123456789ABCDEF";
    std::string out = scheme + "://";
    out += host.find(':') != std::string::npos ? "[" + host + "]" : host;
    out += ":" + std::to_string(port);
    for (char c : path) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f) {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<Address> parseAddress(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (std::any_of(text.begin(), text.end(), [](char c) {
            unsigned char u = static_cast<unsigned char>(c);
            return u <= 0x20 || u == 0x7f;
        }))
        return std::nullopt;

    Address a;
    a.scheme = "http";
    if (auto sep = text.find("://"); sep != std::string_view::npos) {
        a.scheme = lower(text.substr(0, sep));
        text.remove_prefix(sep + 3);
    }
    if (a.scheme != "http" && a.scheme != "https") return std::nullopt;
    a.port = a.scheme == "https" ? 443 : 80;

    std::size_t end = text.find_first_of("/?#");
    std::string_view authority = text.substr(0, end);
    std::string_view rest = end == std::string_view::npos ? std::string_view{} : text.substr(end);
    if (auto hash = rest.find('#'); hash != std::string_view::npos) rest = rest.substr(0, hash);
    a.path = rest.empty() || rest.front() != '/' ? "/" + std::string(rest) : std::string(rest);

    if (authority.find('@') != std::string_view::npos) return std::nullopt;
    std::string_view portText;
    bool hasPort = false;
    if (!authority.empty() && authority.front() == '[') {
        auto close = authority.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        a.host = std::string(authority.substr(1, close - 1));
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return std::nullopt;
            hasPort = true;
            portText = after.substr(1);
        }
        if (a.host.empty() || !std::all_of(a.host.begin(), a.host.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
            }))
            return std::nullopt;
    } else {
        auto colon = authority.find(':');
        a.host = lower(authority.substr(0, colon));
        if (colon != std::string_view::npos) {
            hasPort = true;
            portText = authority.substr(colon + 1);
        }
        if (a.host.empty() || !std::all_of(a.host.begin(), a.host.end(), hostCharOk))
            return std::nullopt;
    }
    if (hasPort) {
        auto port = parsePort(portText);
        if (!port) return std::nullopt;
        a.port = *port;
    }
    return a;
}

}  // namespace melorin::download
