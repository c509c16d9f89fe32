#pragma once
// What a window reads back from a loaded page, and how a page's bytes become it without a
// browser engine: decoded by the page's charset (core/pagecharset.h), parsed as HTML5, the
// body's text by the browser's innerText rules (core/innertext.h) and the links as the
// browser's `document.links` gives them (core/linkaddress.h).
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVector>

namespace melorin::core {

struct PageLink {
    QString href;       // absolute address
    QString innerText;  // the link's visible text
};

struct PageDocument {
    QUrl url;
    QString bodyText;         // visible text of the body, blocks separated by line breaks
    QVector<PageLink> links;  // in document order
};

// `address` is where the page came from (after redirects), the base of its relative links
// unless a <base> element names another; `contentType` the header's value. A text/plain answer
// is its text without links; anything else is read as HTML, however malformed.
PageDocument readPage(const QByteArray& bytes, const QByteArray& contentType, const QUrl& address);

}  // namespace melorin::core
