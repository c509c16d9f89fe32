// Test pages for the search library: GBK bytes from Qt strings, and fixture pages stored as
// GBK text (the page body, a "----links----" line, then one "href<TAB>text" line per link).
#pragma once

#include <QFile>
#include <QStringEncoder>
#include <QStringList>
#include <QtTest>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "search/bytetext.h"
#include "search/resultpage.h"

namespace melorin::search::testing {

using gbk::PageLink;

inline std::string toGbk(const QString& s) {
    QStringEncoder enc("GBK");
    const QByteArray b = enc.encode(s);
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

inline QString fromGbk(std::string_view s) {
    QStringDecoder dec("GBK");
    return dec.decode(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
}

inline std::vector<std::string> gbkLines(const QStringList& lines) {
    std::vector<std::string> out;
    for (const auto& l : lines) out.push_back(toGbk(l));
    return out;
}

// Links written as "href|text".
inline std::vector<PageLink> gbkLinks(const QStringList& links) {
    std::vector<PageLink> out;
    for (const auto& l : links) {
        const auto bar = l.indexOf(u'|');
        out.push_back({toGbk(l.left(bar)), toGbk(bar < 0 ? QString() : l.mid(bar + 1))});
    }
    return out;
}

// The parser's test for addresses already in the list, over these addresses.
inline std::function<bool(std::string_view)> listedIn(const std::vector<std::string>& addresses) {
    return [set = std::set<std::string, std::less<>>(addresses.begin(), addresses.end())](
               std::string_view a) { return set.count(a) > 0; };
}

struct FixturePage {
    std::vector<std::string> lines;
    std::vector<PageLink> links;
};

inline std::string fixtureBytes(const char* name) {
    QFile f(QString::fromLocal8Bit(qgetenv("MELORIN_SOURCE_DIR")) +
            QStringLiteral("/tests/search/fixtures/") + QString::fromLatin1(name));
    if (!f.open(QIODevice::ReadOnly)) qFatal("missing fixture %s", name);
    const QByteArray b = f.readAll();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

inline FixturePage fixturePage(const char* name) {
    const std::string bytes = fixtureBytes(name);
    const std::string sep = "\n----links----\n";
    const auto cut = bytes.find(sep);
    FixturePage page;
    page.lines = splitLines(std::string_view(bytes).substr(0, cut));
    if (cut == std::string::npos) return page;
    for (const auto& l : splitLines(std::string_view(bytes).substr(cut + sep.size()))) {
        const auto tab = l.find('\t');
        page.links.push_back({l.substr(0, tab), tab == std::string::npos ? "" : l.substr(tab + 1)});
    }
    return page;
}

}  // namespace melorin::search::testing
