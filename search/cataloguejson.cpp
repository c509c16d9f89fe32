#include "search/cataloguejson.h"

#include <QJsonArray>
#include <QString>
#include <cctype>
#include <cmath>

namespace melorin::search {

namespace {

bool digit(char c) {
    return c >= '0' && c <= '9';
}

void appendControlEscape(std::string& out, unsigned char c) {
    static constexpr char kHex[] = "0123456789abcdef";
    switch (c) {
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
    }
}

std::string trimmedPlain(const QString& text) {
    QString s = text;
    for (QChar& c : s) {
        if (c.category() == QChar::Other_Control) c = u' ';
    }
    return s.trimmed().toStdString();
}

}  // namespace

std::string mendedJson(std::string_view raw) {
    if (raw.starts_with("\xEF\xBB\xBF")) raw.remove_prefix(3);
    const QByteArray valid =
        QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size())).toUtf8();
    const std::string_view text(valid.constData(), static_cast<std::size_t>(valid.size()));
    std::string out;
    out.reserve(text.size() + 16);
    bool inString = false;
    bool escaped = false;
    char lastOutside = '\0';  // the last byte outside strings that is not a blank
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (escaped) {
                escaped = false;
                out += c;
            } else if (c == '\\') {
                escaped = true;
                out += c;
            } else if (c == '"') {
                inString = false;
                out += c;
            } else if (static_cast<unsigned char>(c) < 0x20) {
                appendControlEscape(out, static_cast<unsigned char>(c));
            } else {
                out += c;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
            out += c;
            lastOutside = c;
            continue;
        }
        const bool valueStart =
            lastOutside == '\0' || lastOutside == '[' || lastOutside == ',' || lastOutside == ':';
        if (valueStart && (digit(c) || c == '-')) {
            std::size_t j = i;
            if (c == '-') out += text[j++];
            // Zeros before another digit say nothing.
            while (j + 1 < text.size() && text[j] == '0' && digit(text[j + 1])) ++j;
            while (j < text.size() && (digit(text[j]) || text[j] == '.' || text[j] == 'e' ||
                                       text[j] == 'E' || text[j] == '+' || text[j] == '-')) {
                out += text[j++];
            }
            i = j - 1;
            lastOutside = '0';
            continue;
        }
        out += c;
        if (static_cast<unsigned char>(c) > 0x20) lastOutside = c;
    }
    return out;
}

std::optional<QJsonDocument> readJson(std::string_view body) {
    const std::string mended = mendedJson(body);
    QJsonParseError error{};
    QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray(mended.data(), static_cast<qsizetype>(mended.size())), &error);
    if (error.error != QJsonParseError::NoError || doc.isNull()) return std::nullopt;
    return doc;
}

std::string jsonText(const QJsonValue& value) {
    if (value.isString()) return trimmedPlain(value.toString());
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15) {
            return std::to_string(static_cast<long long>(d));
        }
        return QString::number(d).toStdString();
    }
    if (value.isArray()) {
        std::string out;
        for (const QJsonValue& v : value.toArray()) {
            const std::string part = v.isArray() ? std::string() : jsonText(v);
            if (part.empty()) continue;
            if (!out.empty()) out += ", ";
            out += part;
        }
        return out;
    }
    return {};
}

std::int64_t jsonCount(const QJsonValue& value) {
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (d >= 0 && d < 9e15 && d == std::floor(d)) return static_cast<std::int64_t>(d);
        return -1;
    }
    if (!value.isString()) return -1;
    const QString s = value.toString().trimmed();
    if (s.isEmpty() || s.size() > 15) return -1;
    for (const QChar c : s) {
        if (c < u'0' || c > u'9') return -1;
    }
    return s.toLongLong();
}

bool jsonTrue(const QJsonValue& value) {
    if (value.isBool()) return value.toBool();
    if (value.isDouble()) return value.toDouble() == 1;
    if (value.isString()) {
        const QString s = value.toString().trimmed();
        return s.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0 || s == u"1";
    }
    return false;
}

}  // namespace melorin::search
