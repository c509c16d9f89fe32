#pragma once

// The search service's pages and everything the parser reads are GBK byte strings; the window
// holds Unicode text. These convert at that border only.

#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <string>
#include <string_view>

namespace melorin {

inline std::string toGbk(const QString& text) {
    QStringEncoder encoder("GBK");
    const QByteArray bytes = encoder.encode(text);
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

inline QString fromGbk(std::string_view bytes) {
    QStringDecoder decoder("GBK");
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace melorin
