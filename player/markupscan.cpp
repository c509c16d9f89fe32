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

std::optional<Tag> nextTag(std::string_view text, std::size_t from,
                           std::initializer_list<std::string_view> names) {
    for (std::size_t at = text.find('<', from); at != std::string_view::npos;
         at = text.find('<', at + 1)) {
        std::size_t nameEnd = at + 1;
        if (nameEnd < text.size() && text[nameEnd] == '/') ++nameEnd;
        while (nameEnd < text.size() && isNameChar(text[nameEnd])) ++nameEnd;
        const std::string name = lowered(text.substr(at + 1, nameEnd - at - 1));
        if (std::find(names.begin(), names.end(), name) == names.end()) continue;
        const std::size_t close = tagClose(text, nameEnd);
        return Tag{name, text.substr(nameEnd, close - nameEnd), at,
                   std::min(close + 1, text.size())};
    }
    return std::nullopt;
}

std::optional<std::string> attribute(std::string_view tag, std::string_view name) {
    const std::string lowerTag = lowered(tag);
    for (std::size_t at = lowerTag.find(name); at != std::string::npos;
         at = lowerTag.find(name, at + 1)) {
        if (at > 0 && !isSpace(tag[at - 1])) continue;
        std::size_t i = at + name.size();
        while (i < tag.size() && isSpace(tag[i])) ++i;
        if (i >= tag.size() || tag[i] != '=') continue;
        ++i;
        while (i < tag.size() && isSpace(tag[i])) ++i;
        if (i >= tag.size()) return std::string();
        if (tag[i] == '"' || tag[i] == '\'') {
            std::size_t end = tag.find(tag[i], i + 1);
            if (end == std::string_view::npos) end = tag.size();
            return decodeEntities(tag.substr(i + 1, end - i - 1));
        }
        std::size_t end = i;
        while (end < tag.size() && !isSpace(tag[end])) ++end;
        std::string_view bare = tag.substr(i, end - i);
        if (!bare.empty() && bare.back() == '/') bare.remove_suffix(1);
        return decodeEntities(bare);
    }
    return std::nullopt;
}

}  // namespace melorin::player::markup
