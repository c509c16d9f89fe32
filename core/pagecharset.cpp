#include "core/pagecharset.h"

#include <QStringDecoder>
#include <array>
#include <cctype>
#include <optional>
#include <string_view>

#include "core/text.h"

namespace melorin::core {
namespace {

constexpr qsizetype kPrescanBytes = 1024;

// Labels browsers treat as another encoding than the decoder's own name would give: Latin-1
// means windows-1252, and every GB2312 or GBK label means the GB18030 decoder, a superset.
struct Alias {
    std::string_view label;
    const char* encoding;
};
constexpr std::array kAliases = {
    Alias{"utf-8", "UTF-8"},
    Alias{"utf8", "UTF-8"},
    Alias{"unicode-1-1-utf-8", "UTF-8"},
    Alias{"gbk", "GB18030"},
    Alias{"gb2312", "GB18030"},
    Alias{"gb_2312", "GB18030"},
    Alias{"gb_2312-80", "GB18030"},
    Alias{"x-gbk", "GB18030"},
    Alias{"chinese", "GB18030"},
    Alias{"csgb2312", "GB18030"},
    Alias{"iso-ir-58", "GB18030"},
    Alias{"gb18030", "GB18030"},
    Alias{"ascii", "windows-1252"},
    Alias{"us-ascii", "windows-1252"},
    Alias{"iso-8859-1", "windows-1252"},
    Alias{"iso8859-1", "windows-1252"},
    Alias{"latin1", "windows-1252"},
    Alias{"l1", "windows-1252"},
    Alias{"windows-1252", "windows-1252"},
    Alias{"cp1252", "windows-1252"},
    Alias{"big5", "Big5-HKSCS"},
    Alias{"big5-hkscs", "Big5-HKSCS"},
    Alias{"x-user-defined", "windows-1252"},
};

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view prefix) {
    if (text.size() - at < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lower(text[at + i]) != prefix[i]) return false;
    }
    return true;
}

// The charset named in a Content-Type value: `charset=` followed by a token or quoted text.
QByteArray charsetParameter(std::string_view value) {
    for (std::size_t at = 0; at + 7 <= value.size(); ++at) {
        if (!startsWithNoCase(value, at, "charset")) continue;
        std::size_t i = at + 7;
        while (i < value.size() && isSpace(value[i])) ++i;
        if (i >= value.size() || value[i] != '=') continue;
        ++i;
        while (i < value.size() && isSpace(value[i])) ++i;
        if (i < value.size() && (value[i] == '"' || value[i] == '\'')) {
            const char quote = value[i];
            const std::size_t end = value.find(quote, i + 1);
            if (end == std::string_view::npos) return {};
            return QByteArray(value.data() + i + 1, static_cast<qsizetype>(end - i - 1));
        }
        std::size_t end = i;
        while (end < value.size() && !isSpace(value[end]) && value[end] != ';') ++end;
        return QByteArray(value.data() + i, static_cast<qsizetype>(end - i));
    }
    return {};
}

struct Attribute {
    std::string name;
    std::string value;
};

// One attribute of a tag whose name has been read; nothing at the tag's end.
std::optional<Attribute> nextAttribute(std::string_view s, std::size_t& i) {
    while (i < s.size() && (isSpace(s[i]) || s[i] == '/')) ++i;
    if (i >= s.size() || s[i] == '>') return std::nullopt;
    Attribute a;
    while (i < s.size() && !isSpace(s[i]) && s[i] != '=' && s[i] != '/' && s[i] != '>') {
        a.name += lower(s[i++]);
    }
    while (i < s.size() && isSpace(s[i])) ++i;
    if (i >= s.size() || s[i] != '=') return a;
    ++i;
    while (i < s.size() && isSpace(s[i])) ++i;
    if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
        const char quote = s[i++];
        while (i < s.size() && s[i] != quote) a.value += s[i++];
        if (i < s.size()) ++i;
        return a;
    }
    while (i < s.size() && !isSpace(s[i]) && s[i] != '>') a.value += s[i++];
    return a;
}

QByteArray charsetOfMeta(std::string_view s, std::size_t& i) {
    bool contentType = false;
    QByteArray fromContent;
    QByteArray fromCharset;
    while (const auto a = nextAttribute(s, i)) {
        if (a->name == "charset" && fromCharset.isEmpty()) {
            fromCharset = QByteArray::fromStdString(a->value);
        } else if (a->name == "http-equiv") {
            contentType = QByteArray::fromStdString(a->value).toLower() == "content-type";
        } else if (a->name == "content" && fromContent.isEmpty()) {
            fromContent = charsetParameter(a->value);
        }
    }
    if (!fromCharset.isEmpty()) return fromCharset;
    return contentType ? fromContent : QByteArray();
}

}  // namespace

QByteArray encodingForLabel(const QByteArray& label) {
    const QByteArray key = label.trimmed().toLower();
    if (key.isEmpty()) return {};
    for (const Alias& a : kAliases) {
        if (std::string_view(key.constData(), static_cast<std::size_t>(key.size())) == a.label)
            return a.encoding;
    }
    if (key.startsWith("utf-16")) return key == "utf-16be" ? "UTF-16BE" : "UTF-16LE";
    // Anything else the decoder may know by its own name (ICU's aliases).
    const QStringDecoder decoder(key.constData());
    return decoder.isValid() ? QByteArray(decoder.name()) : QByteArray();
}

QByteArray metaCharset(const QByteArray& bytes) {
    const std::string_view s(bytes.constData(),
                             static_cast<std::size_t>(std::min(bytes.size(), kPrescanBytes)));
    std::size_t i = 0;
    while (i < s.size()) {
        if (s.compare(i, 4, "<!--") == 0) {
            const std::size_t end = s.find("-->", i + 4);
            if (end == std::string_view::npos) return {};
            i = end + 3;
        } else if (startsWithNoCase(s, i, "<meta") && i + 5 < s.size() &&
                   (isSpace(s[i + 5]) || s[i + 5] == '/')) {
            i += 5;
            const QByteArray charset = charsetOfMeta(s, i);
            if (!charset.isEmpty()) return charset;
        } else if (s[i] == '<' && i + 1 < s.size() &&
                   (std::isalpha(static_cast<unsigned char>(s[i + 1])) ||
                    (s[i + 1] == '/' && i + 2 < s.size() &&
                     std::isalpha(static_cast<unsigned char>(s[i + 2]))))) {
            // Any other tag: its attributes may hold a '>' in quotes.
            while (i < s.size() && !isSpace(s[i]) && s[i] != '>') ++i;
            while (nextAttribute(s, i)) {
            }
            ++i;
        } else if (s[i] == '<' && i + 1 < s.size() &&
                   (s[i + 1] == '!' || s[i + 1] == '/' || s[i + 1] == '?')) {
            const std::size_t end = s.find('>', i + 2);
            if (end == std::string_view::npos) return {};
            i = end + 1;
        } else {
            ++i;
        }
    }
    return {};
}

DecodedPage decodePage(const QByteArray& bytes, const QByteArray& contentType) {
    QByteArray encoding;
    qsizetype skip = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        encoding = "UTF-8";
        skip = 3;
    } else if (bytes.startsWith("\xFE\xFF")) {
        encoding = "UTF-16BE";
        skip = 2;
    } else if (bytes.startsWith("\xFF\xFE")) {
        encoding = "UTF-16LE";
        skip = 2;
    }
    if (encoding.isEmpty()) {
        const std::string type = contentType.toStdString();
        encoding = encodingForLabel(charsetParameter(type));
    }
    if (encoding.isEmpty()) {
        encoding = encodingForLabel(metaCharset(bytes));
        // A page cannot say it is UTF-16 in its own ASCII bytes.
        if (encoding.startsWith("UTF-16")) encoding = "UTF-8";
    }
    if (encoding.isEmpty())
        encoding =
            isValidUtf8(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))
                ? "UTF-8"
                : "GB18030";
    QStringDecoder decoder(encoding.constData());
    if (!decoder.isValid()) {
        encoding = "UTF-8";
        decoder = QStringDecoder(QStringDecoder::Utf8);
    }
    return {decoder.decode(QByteArrayView(bytes).sliced(skip)), encoding};
}

}  // namespace melorin::core
