#include "player/markupscan.h"

#include <algorithm>
#include <cctype>

#include "player/entrylist.h"

namespace melorin::player::markup {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == ':';
}

// Where the tag whose attributes start at `from` ends: its ">" outside quoted values.
std::size_t tagClose(std::string_view text, std::size_t from) {
    char lastNonSpace = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        if ((c == '"' || c == '\'') && lastNonSpace == '=') {
            const std::size_t quote = text.find(c, i + 1);
            if (quote == std::string_view::npos) return text.size();
            i = quote;
            lastNonSpace = c;
            continue;
        }
        if (c == '>') return i;
        if (!isSpace(c)) lastNonSpace = c;
    }
    return text.size();
}

// Elements whose content a browser reads as text, not as tags.
bool isRawText(std::string_view name) {
    static constexpr std::string_view kNames[] = {"script",   "style",    "textarea", "title",
                                                  "xmp",      "iframe",   "noembed",  "noframes",
                                                  "noscript", "template", "plaintext"};
    return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

}  // namespace

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

TagReader::TagReader(std::string_view text) : text_(text), lower_(lowered(text)) {}

std::optional<Tag> TagReader::next() {
    while (at_ < text_.size()) {
        const std::size_t at = text_.find('<', at_);
        if (at == std::string_view::npos || at + 1 >= text_.size()) break;
        if (text_.substr(at, 4) == "<!--") {
            const std::size_t end = text_.find("-->", at + 4);
            at_ = end == std::string_view::npos ? text_.size() : end + 3;
            continue;
        }
        const char first = text_[at + 1];
        if (first == '!' || first == '?') {
            const std::size_t end = text_.find('>', at + 2);
            at_ = end == std::string_view::npos ? text_.size() : end + 1;
            continue;
        }
        const bool closing = first == '/';
        const std::size_t nameStart = at + 1 + (closing ? 1 : 0);
        if (nameStart >= text_.size() ||
            std::isalpha(static_cast<unsigned char>(text_[nameStart])) == 0) {
            at_ = at + 1;  // a "<" in the text
            continue;
        }
        std::size_t nameEnd = nameStart;
        while (nameEnd < text_.size() && isNameChar(text_[nameEnd])) ++nameEnd;
        const std::string name = lower_.substr(nameStart, nameEnd - nameStart);
        const std::size_t close = tagClose(text_, nameEnd);
        Tag tag{closing ? '/' + name : name, text_.substr(nameEnd, close - nameEnd), at,
                std::min(close + 1, text_.size())};
        at_ = tag.end;
        if (!closing && isRawText(name)) {
            const std::size_t end = lower_.find("</" + name, at_);
            at_ = end == std::string::npos ? text_.size() : end;
        }
        return tag;
    }
    at_ = text_.size();
    return std::nullopt;
}

std::optional<std::string_view> rawAttribute(std::string_view tag, std::string_view name) {
    const std::string lowerTag = lowered(tag);
    for (std::size_t at = lowerTag.find(name); at != std::string::npos;
         at = lowerTag.find(name, at + 1)) {
        if (at > 0 && !isSpace(tag[at - 1])) continue;
        std::size_t i = at + name.size();
        while (i < tag.size() && isSpace(tag[i])) ++i;
        if (i >= tag.size() || tag[i] != '=') continue;
        ++i;
        while (i < tag.size() && isSpace(tag[i])) ++i;
        if (i >= tag.size()) return std::string_view();
        if (tag[i] == '"' || tag[i] == '\'') {
            std::size_t end = tag.find(tag[i], i + 1);
            if (end == std::string_view::npos) end = tag.size();
            return tag.substr(i + 1, end - i - 1);
        }
        std::size_t end = i;
        while (end < tag.size() && !isSpace(tag[end])) ++end;
        std::string_view bare = tag.substr(i, end - i);
        if (!bare.empty() && bare.back() == '/') bare.remove_suffix(1);
        return bare;
    }
    return std::nullopt;
}

std::optional<std::string> attribute(std::string_view tag, std::string_view name) {
    const std::optional<std::string_view> raw = rawAttribute(tag, name);
    if (!raw) return std::nullopt;
    return decodeEntities(*raw);
}

}  // namespace melorin::player::markup
