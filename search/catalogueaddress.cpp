#include "search/catalogueaddress.h"

#include <cctype>

#include "core/webaddress.h"

namespace melorin::search {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool unreserved(unsigned char c) {
    return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

// What may stand unencoded in a path or a query besides the unreserved bytes.
bool pathByte(unsigned char c) {
    static constexpr std::string_view kKept = "/!$&'()*+,;=:@";
    return unreserved(c) || kKept.find(static_cast<char>(c)) != std::string_view::npos;
}

bool hostByte(unsigned char c) {
    return std::isalnum(c) || c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
}

void appendEscape(std::string& out, unsigned char c) {
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
}

bool startsEscape(std::string_view s, std::size_t at) {
    return at + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[at + 1])) &&
           std::isxdigit(static_cast<unsigned char>(s[at + 2]));
}

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

std::string encodeComponent(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (unreserved(c)) {
            out += ch;
        } else {
            appendEscape(out, c);
        }
    }
    return out;
}

std::string encodePath(std::string_view path) {
    std::string out;
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        out += encodeComponent(path.substr(start, slash - start));
        if (slash == std::string_view::npos) break;
        out += '/';
        start = slash + 1;
    }
    return out;
}

std::string trimBase(std::string_view base) {
    base = trimmed(base);
    while (!base.empty() && base.back() == '/') base.remove_suffix(1);
    return std::string(base);
}

std::optional<std::string> wireFileAddress(std::string_view raw) {
    raw = trimmed(raw);
    const std::size_t sep = raw.find("://");
    if (sep == std::string_view::npos) return std::nullopt;
    std::string scheme(raw.substr(0, sep));
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (scheme != "http" && scheme != "https") return std::nullopt;
    const std::string_view rest = raw.substr(sep + 3);
    const std::size_t pathStart = rest.find('/');
    const std::string_view host = rest.substr(0, pathStart);
    if (host.empty()) return std::nullopt;
    for (const char c : host) {
        if (!hostByte(static_cast<unsigned char>(c))) return std::nullopt;
    }
    std::string out = scheme + "://" + std::string(host);
    if (pathStart == std::string_view::npos) {
        out += '/';
    } else {
        const std::string_view path = rest.substr(pathStart);
        for (std::size_t i = 0; i < path.size(); ++i) {
            const auto c = static_cast<unsigned char>(path[i]);
            if (pathByte(c) || (c == '%' && startsEscape(path, i))) {
                out += path[i];
            } else {
                appendEscape(out, c);
            }
        }
    }
    if (!core::isWebAddress(out)) return std::nullopt;
    return out;
}

}  // namespace melorin::search
