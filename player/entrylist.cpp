#include "player/entrylist.h"

#include <cstdint>

#include "core/text.h"
#include "player/markupscan.h"

namespace melorin::player {
namespace {

using core::isValidUtf8;
using markup::lowered;
using markup::trimmed;

constexpr std::uint32_t kReplacement = 0xFFFD;

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string_view pathOf(std::string_view address) {
    const std::size_t cut = address.find_first_of("?#");
    return cut == std::string_view::npos ? address : address.substr(0, cut);
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 text without its byte-order mark; a lone surrogate or a cut-off unit is U+FFFD.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    const auto unitAt = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<std::uint32_t>(bigEndian ? a << 8 | b : b << 8 | a);
    };
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        std::uint32_t cp = unitAt(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            const std::uint32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        appendUtf8(out, cp >= 0xD800 && cp <= 0xDFFF ? kReplacement : cp);
    }
    if (i < bytes.size()) appendUtf8(out, kReplacement);
    return out;
}

// UTF-8 text with every invalid sequence as U+FFFD (a list that says it is UTF-8).
std::string validUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t length = 1;
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0xF0) {
            length = 4;
        } else if (c >= 0xE0) {
            length = 3;
        } else if (c >= 0xC0) {
            length = 2;
        }
        const std::string_view one = bytes.substr(i, length);
        if (one.size() == length && isValidUtf8(one)) {
            out += one;
            i += length;
        } else {
            appendUtf8(out, kReplacement);
            ++i;
        }
    }
    return out;
}

// The numeric reference at the start of `s` ("#65;", "#x41;"), or 0 characters.
std::size_t numericReference(std::string_view s, std::uint32_t* cp) {
    std::size_t i = 1;
    const bool hex = i < s.size() && (s[i] == 'x' || s[i] == 'X');
    if (hex) ++i;
    const std::size_t digitsStart = i;
    std::uint32_t value = 0;
    while (i < s.size() && i - digitsStart < 8) {
        const char c = s[i];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) break;
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        ++i;
    }
    if (i == digitsStart || i >= s.size() || s[i] != ';') return 0;
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *cp = value;
    return i + 1;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

EntryKind entryKindOf(std::string_view address) {
    const std::string path = lowered(pathOf(address));
    if (endsWith(path, ".rpm") || endsWith(path, ".ram")) return EntryKind::LineList;
    if (endsWith(path, ".asx") || endsWith(path, ".wax") || endsWith(path, ".wvx"))
        return EntryKind::AsxList;
    return EntryKind::Media;
}

EntryKind sniffedKindOf(std::string_view head, bool whole) {
    if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
    if (lowered(trimmed(head).substr(0, 4)) == "<asx") return EntryKind::AsxList;
    if (head.find('\0') != std::string_view::npos) return EntryKind::Media;
    // Only whole lines count: the last one may be cut off where the head ends.
    if (!whole) head = head.substr(0, head.find_last_of("\r\n") + 1);
    const std::vector<std::string> entries = lineListEntries(head);
    if (entries.empty()) return EntryKind::Media;
    for (const std::string& entry : entries) {
        if (entry.find("://") == std::string::npos && entry.front() != '/') return EntryKind::Media;
    }
    return EntryKind::LineList;
}

std::string listTextToUtf8(std::string_view bytes) {
    if (bytes.substr(0, 2) == "\xFF\xFE") return utf16ToUtf8(bytes.substr(2), false);
    if (bytes.substr(0, 2) == "\xFE\xFF") return utf16ToUtf8(bytes.substr(2), true);
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
        return isValidUtf8(bytes) ? std::string(bytes) : validUtf8(bytes);
    }
    if (isValidUtf8(bytes)) return std::string(bytes);
    return core::gbkToUtf8(bytes);
}

std::vector<std::string> lineListEntries(std::string_view text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = trimmed(text.substr(start, end - start));
        if (!line.empty() && line.front() != '#' && line != "--stop--") out.emplace_back(line);
        start = end + 1;
    }
    return out;
}

std::vector<std::string> asxEntries(std::string_view text) {
    std::vector<std::string> out;
    markup::TagReader tags(text);
    for (auto tag = tags.next(); tag; tag = tags.next()) {
        if (tag->name != "ref" && tag->name != "entryref") continue;
        const std::optional<std::string> href = markup::attribute(tag->attributes, "href");
        if (href && !markup::trimmed(*href).empty()) out.emplace_back(markup::trimmed(*href));
    }
    return out;
}

std::vector<ListEntry> listEntries(std::string_view listBytes, EntryKind kind) {
    const auto parse = [kind](std::string_view text) {
        return kind == EntryKind::AsxList ? asxEntries(text) : lineListEntries(text);
    };
    const std::vector<std::string> addresses = parse(listTextToUtf8(listBytes));
    // GBK holds no markup or line characters inside its characters: its bytes part the same.
    const bool readAsGbk = listBytes.substr(0, 2) != "\xFF\xFE" &&
                           listBytes.substr(0, 2) != "\xFE\xFF" &&
                           listBytes.substr(0, 3) != "\xEF\xBB\xBF" && !isValidUtf8(listBytes);
    const std::vector<std::string> bytes = readAsGbk ? parse(listBytes) : addresses;
    std::vector<ListEntry> out;
    out.reserve(addresses.size());
    for (std::size_t i = 0; i < addresses.size(); ++i)
        out.push_back({addresses[i], bytes.size() == addresses.size() ? bytes[i] : addresses[i]});
    return out;
}

std::string decodeEntities(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != '&') {
            out += text[i++];
            continue;
        }
        const std::string_view rest = text.substr(i);
        bool done = false;
        for (const auto& [entity, c] : kNamed) {
            if (rest.size() >= entity.size() && lowered(rest.substr(0, entity.size())) == entity) {
                out += c;
                i += entity.size();
                done = true;
                break;
            }
        }
        if (done) continue;
        std::uint32_t cp = 0;
        if (rest.size() > 1 && rest[1] == '#') {
            if (const std::size_t used = numericReference(rest.substr(1), &cp); used > 0) {
                appendUtf8(out, cp);
                i += 1 + used;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

std::string displayNameOf(std::string_view address) {
    std::string_view path = pathOf(address);
    if (const std::size_t scheme = path.find("://"); scheme != std::string_view::npos) {
        const std::size_t pathStart = path.find('/', scheme + 3);
        path = pathStart == std::string_view::npos ? std::string_view() : path.substr(pathStart);
    }
    while (!path.empty() && path.back() == '/') path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (last.empty()) return std::string(address);
    std::string out;
    for (std::size_t i = 0; i < last.size(); ++i) {
        if (last[i] == '%' && i + 2 < last.size() && hexValue(last[i + 1]) >= 0 &&
            hexValue(last[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(last[i + 1]) * 16 + hexValue(last[i + 2]));
            i += 2;
        } else {
            out += last[i];
        }
    }
    return isValidUtf8(out) ? out : std::string(last);
}

}  // namespace melorin::player
