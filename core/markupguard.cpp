#include "core/markupguard.h"

#include <array>
#include <cctype>

namespace melorin::core {
namespace {

// Elements that never hold others, or that the parser closes at the next one of their kind:
// they cannot make the tree deeper by repetition.
constexpr auto kFlat = std::to_array<std::string_view>({
    "area",     "base",    "br",     "col",    "embed",    "hr",     "img",      "input",   "link",
    "meta",     "param",   "source", "track",  "wbr",      "keygen", "basefont", "bgsound", "frame",
    "image",    "isindex", "p",      "li",     "dt",       "dd",     "tr",       "td",      "th",
    "tbody",    "thead",   "tfoot",  "option", "optgroup", "rb",     "rt",       "rp",      "rtc",
    "colgroup", "caption", "a",      "nobr",   "button",   "form",
});

// Elements whose content is text up to their end tag.
constexpr auto kRawText = std::to_array<std::string_view>({
    "script",
    "style",
    "textarea",
    "title",
    "xmp",
    "iframe",
    "noembed",
    "noframes",
});

template <std::size_t N>
bool among(const std::array<std::string_view, N>& names, std::string_view name) {
    for (const std::string_view n : names) {
        if (n == name) return true;
    }
    return false;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The position after the '>' that ends a tag begun at `from`, quotes in attributes honoured.
std::size_t tagEnd(std::string_view s, std::size_t from, bool& selfClosing) {
    char quote = 0;
    bool afterEquals = false;
    for (std::size_t i = from; i < s.size(); ++i) {
        const char c = s[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
            continue;
        }
        if ((c == '"' || c == '\'') && afterEquals) {
            quote = c;
            afterEquals = false;
            continue;
        }
        if (c == '>') {
            selfClosing = i > from && s[i - 1] == '/';
            return i + 1;
        }
        if (c == '=') {
            afterEquals = true;
        } else if (!isSpace(c)) {
            afterEquals = false;
        }
    }
    selfClosing = false;
    return s.size();
}

// Where the end tag "</name" starts, at or after `from`; the end of the text when none does.
std::size_t rawTextEnd(std::string_view s, std::size_t from, std::string_view name) {
    for (std::size_t i = s.find("</", from); i != s.npos; i = s.find("</", i + 2)) {
        if (s.size() - i - 2 < name.size()) break;
        bool same = true;
        for (std::size_t k = 0; k < name.size() && same; ++k) {
            same = std::tolower(static_cast<unsigned char>(s[i + 2 + k])) == name[k];
        }
        if (same) return i;
    }
    return s.size();
}

}  // namespace

std::string guardedMarkup(std::string_view s, int maxDepth) {
    std::string out;
    std::size_t copied = 0;  // s up to here is in `out` or left out
    bool changed = false;
    int depth = 0;
    int leftOut = 0;  // start tags left out whose end tags are still to come
    const auto leaveOut = [&](std::size_t from, std::size_t to) {
        out.append(s.substr(copied, from - copied));
        copied = to;
        changed = true;
    };
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] != '<') {
            ++i;
            continue;
        }
        if (s.compare(i, 4, "<!--") == 0) {
            const std::size_t end = s.find("-->", i + 4);
            i = end == s.npos ? s.size() : end + 3;
            continue;
        }
        const bool closing = i + 1 < s.size() && s[i + 1] == '/';
        std::size_t at = i + (closing ? 2 : 1);
        if (at >= s.size() || !std::isalpha(static_cast<unsigned char>(s[at]))) {
            if (at < s.size() && (s[at] == '!' || s[at] == '?')) {
                const std::size_t end = s.find('>', at);
                i = end == s.npos ? s.size() : end + 1;
            } else {
                ++i;
            }
            continue;
        }
        std::string name;
        while (at < s.size() && !isSpace(s[at]) && s[at] != '/' && s[at] != '>') {
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(s[at++])));
        }
        bool selfClosing = false;
        const std::size_t end = tagEnd(s, at, selfClosing);
        const std::size_t start = i;
        i = end;
        if (!closing && name == "plaintext") break;
        if (!closing && among(kRawText, name)) {
            i = rawTextEnd(s, end, name);
            continue;
        }
        if (closing && name == "form") {
            leaveOut(start, start);
            out += "<!---->";
        }
        if (among(kFlat, name) || (selfClosing && !closing)) continue;
        if (!closing) {
            if (depth < maxDepth) {
                ++depth;
            } else {
                ++leftOut;
                leaveOut(start, end);
            }
        } else if (leftOut > 0) {
            --leftOut;
            leaveOut(start, end);
        } else if (depth > 0) {
            --depth;
        }
    }
    if (!changed) return std::string(s);
    out.append(s.substr(copied));
    return out;
}

}  // namespace melorin::core
