#include "core/linkaddress.h"

#include <QString>
#include <QStringEncoder>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

namespace melorin::core {
namespace {

struct Address {
    std::string scheme;  // lower case
    std::string userinfo;
    std::string host;
    std::string port;  // empty for the scheme's default
    std::string path;  // starts with "/"
    std::optional<std::string> query;
    std::optional<std::string> fragment;

    [[nodiscard]] std::string text() const {
        std::string s = scheme + "://";
        if (!userinfo.empty()) s += userinfo + '@';
        s += host;
        if (!port.empty()) s += ':' + port;
        s += path;
        if (query) s += '?' + *query;
        if (fragment) s += '#' + *fragment;
        return s;
    }
};

// Which characters each part of an address writes percent-encoded, besides control
// characters, DEL and every non-ASCII byte.
enum class Part { Opaque, Fragment, Query, SpecialQuery, Path, Userinfo };

bool escaped(unsigned char c, Part part) {
    if (c < 0x20 || c >= 0x7F) return true;
    const auto in = [c](std::string_view set) {
        return set.find(static_cast<char>(c)) != set.npos;
    };
    switch (part) {
        case Part::Opaque:
            return false;
        case Part::Fragment:
            return in(" \"<>`");
        case Part::Query:
            return in(" \"#<>");
        case Part::SpecialQuery:
            return in(" \"#<>'");
        case Part::Path:
            return in(" \"#<>?`{}|^");  // '|' and '^' as browsers write them
        case Part::Userinfo:
            return in(" \"#<>?`{}/:;=@[\\]^|");
    }
    return false;
}

std::string percentEncoded(std::string_view bytes, Part part) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (!escaped(c, part)) {
            out += ch;
            continue;
        }
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    }
    return out;
}

std::string percentDecoded(std::string_view s) {
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
            out += static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool isSpecial(std::string_view scheme) {
    return scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "ws" ||
           scheme == "wss" || scheme == "file";
}

std::string_view defaultPort(std::string_view scheme) {
    if (scheme == "http" || scheme == "ws") return "80";
    if (scheme == "https" || scheme == "wss") return "443";
    if (scheme == "ftp") return "21";
    return {};
}

bool isSlash(char c) {
    return c == '/' || c == '\\';
}

// Leading and trailing blanks and control characters go; tabs and line breaks inside too.
std::string cleaned(std::string_view href) {
    while (!href.empty() && static_cast<unsigned char>(href.front()) <= 0x20) href.remove_prefix(1);
    while (!href.empty() && static_cast<unsigned char>(href.back()) <= 0x20) href.remove_suffix(1);
    std::string out;
    out.reserve(href.size());
    for (const char c : href) {
        if (c != '\t' && c != '\n' && c != '\r') out += c;
    }
    return out;
}

// The length of a leading "scheme:", the colon excluded, or npos.
std::size_t schemeLength(std::string_view s) {
    if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0]))) return std::string_view::npos;
    for (std::size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == ':') return i;
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return std::string_view::npos;
    }
    return std::string_view::npos;
}

struct Tail {
    std::string_view path;
    std::optional<std::string_view> query;
    std::optional<std::string_view> fragment;
};

Tail splitTail(std::string_view s) {
    Tail t;
    if (const auto hash = s.find('#'); hash != s.npos) {
        t.fragment = s.substr(hash + 1);
        s = s.substr(0, hash);
    }
    if (const auto mark = s.find('?'); mark != s.npos) {
        t.query = s.substr(mark + 1);
        s = s.substr(0, mark);
    }
    t.path = s;
    return t;
}

bool isDot(std::string_view segment) {
    return segment == "." || lowerAscii(segment) == "%2e";
}

bool isDotDot(std::string_view segment) {
    const std::string s = lowerAscii(segment);
    return s == ".." || s == ".%2e" || s == "%2e." || s == "%2e%2e";
}

// An absolute path ("/…", "\" read as "/") with its dot segments applied, each segment
// percent-encoded.
std::string normalPath(std::string_view raw) {
    std::vector<std::string> segments;
    std::size_t start = raw.empty() || !isSlash(raw[0]) ? 0 : 1;
    while (true) {
        std::size_t end = start;
        while (end < raw.size() && !isSlash(raw[end])) ++end;
        const std::string_view segment = raw.substr(start, end - start);
        const bool last = end >= raw.size();
        if (isDotDot(segment)) {
            if (!segments.empty()) segments.pop_back();
            if (last) segments.emplace_back();
        } else if (isDot(segment)) {
            if (last) segments.emplace_back();
        } else {
            segments.push_back(percentEncoded(segment, Part::Path));
        }
        if (last) break;
        start = end + 1;
    }
    std::string path;
    for (const std::string& s : segments) path += '/' + s;
    return path.empty() ? std::string("/") : path;
}

std::string encodedQuery(std::string_view utf8, const QByteArray& encoding, bool special) {
    const Part part = special ? Part::SpecialQuery : Part::Query;
    if (encoding == "UTF-8" || encoding.startsWith("UTF-16")) return percentEncoded(utf8, part);
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    QStringEncoder whole(encoding.constData());
    const QByteArray all = whole.encode(text);
    if (!whole.hasError()) return percentEncoded(all.toStdString(), part);
    // One character at a time only where the page's encoding cannot hold one: browsers write
    // that one as an encoded numeric character reference, "%26%23NNNN%3B".
    std::string out;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QStringEncoder one(encoding.constData());
        const QByteArray bytes = one.encode(QStringView(text).mid(i, width));
        if (one.hasError()) {
            const char32_t cp = width == 2 ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                                           : text.at(i).unicode();
            out += "%26%23" + std::to_string(static_cast<unsigned long>(cp)) + "%3B";
        } else {
            out += percentEncoded(bytes.toStdString(), part);
        }
        i += width;
    }
    return out;
}

// "host[:port]" of a special address; false when it is no host.
bool takeHostPort(std::string_view hostPort, Address& a) {
    std::string_view host = hostPort;
    std::string_view port;
    if (!host.empty() && host.front() == '[') {
        const auto close = host.find(']');
        if (close == host.npos) return false;
        port = host.substr(close + 1);
        host = host.substr(0, close + 1);
        if (!port.empty() && port.front() != ':') return false;
        if (!port.empty()) port.remove_prefix(1);
    } else if (const auto colon = host.rfind(':'); colon != host.npos) {
        port = host.substr(colon + 1);
        host = host.substr(0, colon);
    }
    std::string name = percentDecoded(host);
    a.host.clear();
    a.port.clear();
    if (name.empty()) return a.scheme == "file" && port.empty();
    if (std::any_of(name.begin(), name.end(), [](char c) { return c < 0; })) {
        const QByteArray ace = QUrl::toAce(QString::fromUtf8(name.data(), qsizetype(name.size())));
        if (ace.isEmpty()) return false;
        name = ace.toStdString();
    }
    name = lowerAscii(name);
    if (name.front() != '[' && name.find_first_of(" #%/:<>?@[\\]^|") != name.npos) return false;
    a.host = name;
    if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const auto digits = port.find_first_not_of('0');
    std::string number = digits == port.npos ? std::string(port.empty() ? "" : "0")
                                             : std::string(port.substr(digits));
    if (number.size() > 5 || (!number.empty() && std::stol(number) > 65535)) return false;
    a.port = number == defaultPort(a.scheme) ? std::string() : number;
    return true;
}

void takeTail(std::string_view rest, Address& a, const QByteArray& encoding) {
    const Tail t = splitTail(rest);
    a.path = normalPath(t.path);
    a.query.reset();
    if (t.query) a.query = encodedQuery(*t.query, encoding, true);
    a.fragment.reset();
    if (t.fragment) a.fragment = percentEncoded(*t.fragment, Part::Fragment);
}

// `rest` starts with the authority ("user@host:port/path…").
bool takeAuthority(std::string_view rest, Address& a, const QByteArray& encoding) {
    const auto end = rest.find_first_of("/\\?#");
    const std::string_view authority = rest.substr(0, end);
    std::string_view hostPort = authority;
    a.userinfo.clear();
    if (const auto at = authority.rfind('@'); at != authority.npos) {
        const std::string_view info = authority.substr(0, at);
        const auto colon = info.find(':');
        a.userinfo = percentEncoded(info.substr(0, colon), Part::Userinfo);
        if (colon != info.npos && colon + 1 < info.size())
            a.userinfo += ':' + percentEncoded(info.substr(colon + 1), Part::Userinfo);
        hostPort = authority.substr(at + 1);
    }
    if (!takeHostPort(hostPort, a)) return false;
    takeTail(end == rest.npos ? std::string_view() : rest.substr(end), a, encoding);
    return true;
}

std::optional<Address> parseBase(std::string_view s) {
    const std::size_t length = schemeLength(s);
    if (length == std::string_view::npos || s.substr(length, 3) != "://") return std::nullopt;
    Address a;
    a.scheme = lowerAscii(s.substr(0, length));
    if (!takeAuthority(s.substr(length + 3), a, "UTF-8")) return std::nullopt;
    return a;
}

}  // namespace

std::string resolveLink(std::string_view hrefText, std::string_view baseText,
                        const QByteArray& queryEncoding) {
    const std::string href = cleaned(hrefText);
    std::optional<Address> base = parseBase(baseText);
    if (!base) return std::string(hrefText);
    Address a = *base;
    std::string_view rest = href;
    if (const std::size_t length = schemeLength(rest); length != std::string_view::npos) {
        const std::string scheme = lowerAscii(rest.substr(0, length));
        if (!isSpecial(scheme))
            return scheme + ':' + percentEncoded(rest.substr(length + 1), Part::Opaque);
        rest.remove_prefix(length + 1);
        // "http:page.html" on an http page is relative; on another scheme it names a host.
        if (scheme != base->scheme || (!rest.empty() && isSlash(rest.front()))) {
            a.scheme = scheme;
            if (scheme == "file") {
                if (rest.size() >= 2 && isSlash(rest[0]) && isSlash(rest[1])) rest.remove_prefix(2);
            } else {
                while (!rest.empty() && isSlash(rest.front())) rest.remove_prefix(1);
            }
            return takeAuthority(rest, a, queryEncoding) ? a.text() : std::string(hrefText);
        }
    }
    if (rest.size() >= 2 && isSlash(rest[0]) && isSlash(rest[1])) {
        while (!rest.empty() && isSlash(rest.front())) rest.remove_prefix(1);
        return takeAuthority(rest, a, queryEncoding) ? a.text() : std::string(hrefText);
    }
    a.fragment.reset();
    if (rest.empty()) return a.text();
    if (rest.front() == '#') {
        a.fragment = percentEncoded(rest.substr(1), Part::Fragment);
        return a.text();
    }
    if (rest.front() == '?') {
        const Tail t = splitTail(rest);
        a.query = encodedQuery(*t.query, queryEncoding, true);
        if (t.fragment) a.fragment = percentEncoded(*t.fragment, Part::Fragment);
        return a.text();
    }
    if (isSlash(rest.front())) {
        takeTail(rest, a, queryEncoding);
        return a.text();
    }
    // A relative path: the base's folder, then the link's path.
    const std::string folder = base->path.substr(0, base->path.rfind('/') + 1);
    takeTail(folder + std::string(rest), a, queryEncoding);
    return a.text();
}

}  // namespace melorin::core
