#include "card/background.h"

#include "core/markup.h"

namespace melorin::card {
namespace {

constexpr std::string_view kOpening = "<body background=\"";
constexpr std::string_view kClosing = "\"> ";
constexpr std::string_view kFileScheme = "file://";

std::string percentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 || b < 0x20 || b == 0x7F || c == '%' || c == '#' || c == '?') {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]);
            const int lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string entitiesDecoded(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool matched = false;
        for (const auto& [entity, c] : kEntities) {
            if (text.substr(i).starts_with(entity)) {
                out += c;
                i += entity.size();
                matched = true;
                break;
            }
        }
        if (!matched) out += text[i++];
    }
    return out;
}

std::string line(std::string_view reference) {
    return std::string(kOpening) + core::escapeMarkup(percentEncoded(reference)) +
           std::string(kClosing);
}

}  // namespace

std::string backgroundLineForFile(std::string_view absolutePath) {
    return line(std::string(kFileScheme) + std::string(absolutePath));
}

std::string backgroundLineForRelative(std::string_view relativeReference) {
    return line(relativeReference);
}

std::optional<std::string> pictureOfBackgroundLine(std::string_view text) {
    if (!text.starts_with(kOpening) || !text.ends_with(kClosing)) return std::nullopt;
    text.remove_prefix(kOpening.size());
    text.remove_suffix(kClosing.size());
    const std::string address = entitiesDecoded(text);
    if (!address.starts_with(kFileScheme)) return std::nullopt;
    std::string path = percentDecoded(std::string_view(address).substr(kFileScheme.size()));
    if (path.empty() || path.front() != '/') return std::nullopt;
    return path;
}

}  // namespace melorin::card
