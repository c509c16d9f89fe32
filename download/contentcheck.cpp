#include "download/contentcheck.h"

#include <array>

namespace melorin::download {
namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lower(s[i]) != prefix[i]) return false;
    return true;
}

bool containsNoCase(std::string_view s, std::string_view needle) {
    for (std::size_t i = 0; i + needle.size() <= s.size(); ++i)
        if (startsWithNoCase(s.substr(i), needle)) return true;
    return false;
}

std::string_view skipBlanks(std::string_view s) {
    if (s.starts_with("\xEF\xBB\xBF")) s.remove_prefix(3);  // a UTF-8 byte-order mark
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' ||
                          s.front() == '\n' || s.front() == '\f'))
        s.remove_prefix(1);
    return s;
}

bool isHtmlStart(std::string_view text) {
    // The elements a web page begins with; a tag name ends at a blank, ">" or "/".
    static constexpr std::array<std::string_view, 18> kTags = {
        "!doctype html", "html", "head",  "body", "title",  "meta", "script", "style", "link",
        "iframe",        "div",  "table", "form", "center", "font", "p",      "a",     "br"};
    if (text.starts_with("<!--")) return true;
    if (startsWithNoCase(text, "<?xml")) return containsNoCase(text, "<html");
    if (text.empty() || text.front() != '<') return false;
    text.remove_prefix(1);
    for (std::string_view tag : kTags) {
        if (!startsWithNoCase(text, tag)) continue;
        if (text.size() == tag.size()) return true;
        const char next = text[tag.size()];
        if (next == ' ' || next == '>' || next == '/' || next == '\t' || next == '\r' ||
            next == '\n')
            return true;
    }
    return false;
}

bool isRamList(std::string_view text) {
    static constexpr std::array<std::string_view, 6> kSchemes = {"rtsp://",  "pnm://",  "http://",
                                                                 "https://", "file://", "rtsps://"};
    for (std::string_view scheme : kSchemes)
        if (startsWithNoCase(text, scheme)) return true;
    return false;
}

bool isHtmlType(std::string_view contentType) {
    contentType = skipBlanks(contentType);
    return startsWithNoCase(contentType, "text/html") ||
           startsWithNoCase(contentType, "application/xhtml+xml");
}

}  // namespace

BodyKind sniffBody(std::string_view head, std::string_view contentType) {
    head = head.substr(0, kSniffBytes);
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(head[i]); };
    if (head.starts_with("ID3")) return BodyKind::Mp3;
    if (head.size() >= 2 && byte(0) == 0xFF && (byte(1) & 0xE0) == 0xE0) return BodyKind::Mp3;
    static constexpr std::string_view kAsfHeader(
        "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
    if (head.starts_with(kAsfHeader)) return BodyKind::Asf;
    if (head.starts_with(".RMF")) return BodyKind::RealMedia;
    const std::string_view text = skipBlanks(head);
    if (isRamList(text)) return BodyKind::RamList;
    if (isHtmlStart(text) || isHtmlType(contentType)) return BodyKind::WebPage;
    return BodyKind::Other;
}

}  // namespace melorin::download
