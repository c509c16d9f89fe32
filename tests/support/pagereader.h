// Reads the service's pages the way Melorin's search does: the body text as lines plus the
// link collection, then the byte-wise rules for result rows, the count line, the client
// address, FLASH text rows and list entries. All texts stay GBK bytes.
#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>

namespace melorin::testing {

struct PageLink {
    QByteArray href;
    QByteArray text;
};

struct PageView {
    QList<QByteArray> lines;  // body text split at line breaks
    QByteArray text;
    QList<PageLink> links;  // document order
};

// The service's pages put one <div> per text line, so the body text is the tags removed and
// a line break after every </div>.
PageView readPage(const QByteArray& gbkHtml);

struct ResultRow {
    QByteArray title, address, size, type;
};

struct ResultRead {
    QByteArray countText;
    QByteArray localIp;
    QList<ResultRow> rows;
};

// The link pass: result links through "http://HOST/r?url=", duplicates against `seen`
// (which it extends), size and type from the line holding the link text.
ResultRead readResults(const PageView& page, const QByteArray& host, QSet<QByteArray>& seen);

// FLASH text rows: lines 10 to count-5 holding both 作者 and 大小.
QList<ResultRow> readFlashRows(const PageView& page);

// List entries: links of the three list classes, in document order (a link matching two
// classes counts twice). `text` is the entry name, `href` the whole link.
QList<PageLink> readListEntries(const PageView& page, const QByteArray& host);

QByteArray gbk(const char* utf8);  // UTF-8 literal to GBK bytes

}  // namespace melorin::testing
