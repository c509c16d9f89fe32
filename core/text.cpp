#include "core/text.h"

#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cstdint>

namespace melorin::core {
namespace {

QByteArray encodeGbk(QStringView text, bool* failed) {
    QStringEncoder encoder("GBK");
    QByteArray bytes = encoder.encode(text);
    *failed = encoder.hasError();
    return bytes;
}

void appendFallback(std::string& out, char32_t codePoint, Unencodable fallback) {
    if (fallback == Unencodable::FourByte) {
        QStringEncoder encoder("GB18030");
        const QByteArray bytes = encoder.encode(QString::fromUcs4(&codePoint, 1));
        out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return;
    }
    if (fallback == Unencodable::NumericReference) {
        out += "&#" + std::to_string(static_cast<unsigned long>(codePoint)) + ';';
        return;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray utf8 = QString::fromUcs4(&codePoint, 1).toUtf8();
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        out += '%';
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
}

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// ASCII reads the same in UTF-8, GBK and GB18030: most addresses and sizes need no converter.
bool isAscii(std::string_view s) {
    for (const char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

char32_t codePointOf(QStringView one) {
    if (one.size() == 2) return QChar::surrogateToUcs4(one.at(0), one.at(1));
    return one.at(0).unicode();
}

}  // namespace

std::string utf8ToGbk(std::string_view utf8, Unencodable fallback) {
    if (isAscii(utf8)) return std::string(utf8);
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    bool failed = false;
    const QByteArray whole = encodeGbk(text, &failed);
    if (!failed) return whole.toStdString();
    // Slow path, only for texts that hold a character outside GBK: one code point at a time.
    std::string out;
    out.reserve(static_cast<std::size_t>(whole.size()) + 16);
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView one = QStringView(text).mid(i, width);
        const QByteArray bytes = encodeGbk(one, &failed);
        if (failed) {
            appendFallback(out, codePointOf(one), fallback);
        } else {
            out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        }
        i += width;
    }
    return out;
}

std::string gbkToUtf8(std::string_view gbk) {
    if (isAscii(gbk)) return std::string(gbk);
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    const auto decode = [&decoder](std::string_view bytes) {
        return QString(
            decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()))));
    };
    QString text;
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < gbk.size();) {
        const auto byte = [&gbk](std::size_t at) { return static_cast<unsigned char>(gbk[at]); };
        if (byte(i) < 0x81 || byte(i) == 0xFF || i + 1 >= gbk.size()) {
            ++i;
            continue;
        }
        const bool fourBytes = i + 3 < gbk.size() && isDigit(byte(i + 1)) && byte(i + 2) >= 0x81 &&
                               byte(i + 2) <= 0xFE && isDigit(byte(i + 3));
        if (!fourBytes) {
            i += 2;  // a lead byte and whatever follows it: GBK's own decoder judges the pair
            continue;
        }
        text += decode(gbk.substr(runStart, i - runStart));
        QStringDecoder wide("GB18030", QStringConverter::Flag::Stateless);
        text += QString(wide.decode(QByteArrayView(gbk.data() + i, 4)));
        i += 4;
        runStart = i;
    }
    text += decode(gbk.substr(runStart));
    return text.toStdString();
}

bool isValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        std::uint32_t min = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            min = 0x10000;
        } else {
            return false;
        }
        if (i + extra >= s.size()) return false;
        std::uint32_t cp = c & (0x3F >> extra);
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80) return false;
            cp = cp << 6 | (b & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

std::string crlfLines(std::span<const std::string> lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

}  // namespace melorin::core
