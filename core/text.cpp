#include "core/text.h"

#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

namespace melorin::core {
namespace {

QByteArray encodeGbk(QStringView text, bool* failed) {
    QStringEncoder encoder("GBK");
    QByteArray bytes = encoder.encode(text);
    *failed = encoder.hasError();
    return bytes;
}

void appendFallback(std::string& out, char32_t codePoint, Unencodable fallback) {
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

char32_t codePointOf(QStringView one) {
    if (one.size() == 2) return QChar::surrogateToUcs4(one.at(0), one.at(1));
    return one.at(0).unicode();
}

}  // namespace

std::string utf8ToGbk(std::string_view utf8, Unencodable fallback) {
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
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    const QString text =
        decoder.decode(QByteArrayView(gbk.data(), static_cast<qsizetype>(gbk.size())));
    return text.toStdString();
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
