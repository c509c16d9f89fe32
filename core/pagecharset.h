#pragma once
// A web page's bytes as text, in the encoding a browser would choose: a byte-order mark, then
// the charset of the Content-Type header, then a <meta> charset within the first 1024 bytes.
// A page that names none is read as UTF-8 when it is valid UTF-8 and as GBK otherwise, the
// encoding of the Chinese pages Melorin reads.
#include <QByteArray>
#include <QString>

namespace melorin::core {

struct DecodedPage {
    QString text;
    // The encoding as the decoder knows it ("UTF-8", "GB18030", "windows-1252", …); link
    // queries are written in it.
    QByteArray encoding;
};

// `contentType` is the header's value, possibly empty. Bytes the encoding does not allow
// become U+FFFD.
DecodedPage decodePage(const QByteArray& bytes, const QByteArray& contentType);

// The decoder's name for a charset label ("gb2312", " UTF8 ", "latin1"), or empty for a label
// no decoder knows.
QByteArray encodingForLabel(const QByteArray& label);

// The charset a page's first 1024 bytes declare in a <meta> element, or empty.
QByteArray metaCharset(const QByteArray& bytes);

}  // namespace melorin::core
