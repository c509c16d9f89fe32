#include "service/text.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

#include "core/markup.h"

namespace melorin::service {

namespace {

// One iconv pass; an unconvertible input byte (or UTF-8 character) becomes `replacement`.
std::string convert(const char* to, const char* from, std::string_view in,
                    std::string_view replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out;
    std::vector<char> buf(4 * in.size() + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char* dst = buf.data();
        size_t dstLeft = buf.size();
        const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf.data(), dst);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or a truncated sequence at the end: skip one byte (or one UTF-8
            // character) and go on.
            size_t skip = 1;
            if (std::string_view(from) == "UTF-8") {
                while (skip < srcLeft && (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80)
                    ++skip;
            }
            src += skip;
            srcLeft -= skip;
            out += replacement;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string toGbk(std::string_view utf8) {
    return convert("GBK", "UTF-8", utf8, "?");
}

std::string fromGbk(std::string_view gbk) {
    return convert("UTF-8", "GBK", gbk, "");
}

bool isValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t n = 0;
        if (c < 0x80)
            n = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            n = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            n = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            n = 3;
        else
            return false;
        for (size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size()) return false;
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n + 1;
    }
    return true;
}

std::string wordFromQuery(std::string_view bytes) {
    // Many GBK pairs are also valid two-byte UTF-8 (山水 is "ɽˮ"); Chinese in UTF-8 takes
    // three bytes a character, so a word with two-byte characters is read as GBK.
    bool twoByte = false;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0xC2 && u <= 0xDF) twoByte = true;
    }
    if (isValidUtf8(bytes) && !twoByte) return std::string(bytes);
    return fromGbk(bytes);
}

std::string percentEncode(std::string_view bytes) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string htmlEscape(std::string_view text) {
    return core::escapeMarkup(text, core::Apostrophe::Escaped);
}

}  // namespace melorin::service
