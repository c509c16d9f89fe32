#include "tests/support/pagereader.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

using namespace Qt::StringLiterals;

namespace melorin::testing {

namespace {

QByteArray decodeEntities(QByteArray s) {
    s.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&#39;", "'");
    return s.replace("&amp;", "&");
}

QByteArray trimmed(const QByteArray& s) {
    qsizetype a = 0;
    qsizetype b = s.size();
    while (a < b && static_cast<unsigned char>(s[a]) <= 32) ++a;
    while (b > a && static_cast<unsigned char>(s[b - 1]) <= 32) --b;
    return s.mid(a, b - a);
}

// Line index holding byte `pos` of the page text.
qsizetype lineOf(const PageView& page, qsizetype pos) {
    qsizetype start = 0;
    for (qsizetype i = 0; i < page.lines.size(); ++i) {
        const qsizetype end = start + page.lines[i].size();
        if (pos < end + 1) return i;
        start = end + 1;
    }
    return 0;
}

QByteArray lineHolding(const PageView& page, const QByteArray& part) {
    const qsizetype at = part.isEmpty() ? -1 : page.text.indexOf(part);
    return page.lines.value(at < 0 ? 0 : lineOf(page, at));
}

}  // namespace

QByteArray gbk(const char* utf8) {
    QStringEncoder enc("GBK");
    return enc.encode(QString::fromUtf8(utf8));
}

PageView readPage(const QByteArray& html) {
    PageView page;
    const qsizetype bodyAt = html.indexOf("<body>");
    QByteArray body = html.mid(bodyAt < 0 ? 0 : bodyAt + 6);
    body = body.left(body.indexOf("</body>"));
    static const QRegularExpression linkRe(uR"re(<a href="([^"]*)">([^<]*)</a>)re"_s);
    // Latin-1 keeps the bytes as they are while the expression runs.
    auto it = linkRe.globalMatch(QString::fromLatin1(body));
    while (it.hasNext()) {
        const auto m = it.next();
        page.links.append(
            {decodeEntities(m.captured(1).toLatin1()), decodeEntities(m.captured(2).toLatin1())});
    }
    body.replace("\n", "");  // source line breaks are not text, as in a browser
    body.replace("</div>", "\n");
    static const QRegularExpression tagRe(u"<[^>]*>"_s);
    QString latin = QString::fromLatin1(body);
    latin.remove(tagRe);
    QByteArray text = decodeEntities(latin.toLatin1());
    while (text.startsWith('\n')) text.remove(0, 1);
    while (text.endsWith('\n')) text.chop(1);
    page.text = text;
    page.lines = text.split('\n');
    return page;
}

ResultRead readResults(const PageView& page, const QByteArray& host, QSet<QByteArray>& seen) {
    ResultRead out;
    const QByteArray marker = gbk("百度为您找到相关结果");
    const QByteArray countLine = lineHolding(page, marker);
    const qsizetype p = countLine.indexOf(gbk("篇")) + 1;  // 1-based, 0 when absent
    out.countText = p - 21 > 0 ? countLine.mid(20, p - 21) : QByteArray();

    const QByteArray prefix = "http://" + host + "/r?url=";
    const QByteArray ipMarker = "http://" + host + "/m?lm=";
    QByteArray size;  // kept across rows, as Melorin keeps it
    for (const PageLink& link : page.links) {
        if (out.localIp.isEmpty() && link.href.contains(ipMarker) && link.href.contains("&ip=")) {
            const qsizetype a = link.href.indexOf("&ip=");
            const qsizetype c = link.href.indexOf("&cl=");
            if (c - a - 4 > 0) out.localIp = link.href.mid(a + 4, c - a - 4);
        }
        if (!link.href.contains(prefix)) continue;
        const QByteArray address = link.href.mid(prefix.size());
        if (seen.contains(address)) continue;
        seen.insert(address);
        const QByteArray l = trimmed(lineHolding(page, link.text));
        QByteArray type = l.right(3);
        const QByteArray t8 = l.right(8);
        if (t8.contains('M')) size = t8.left(3) + "M";
        if (t8.contains('K')) size = t8.left(3) + "K";
        if (type == "Mrm" || type == "Krm") {
            size = l.right(7).left(3) + type.left(1);
            type = "rm";
        }
        out.rows.append({link.text, address, size, type});
    }
    return out;
}

QList<ResultRow> readFlashRows(const PageView& page) {
    QList<ResultRow> rows;
    const qsizetype count = page.lines.size();
    if (count < 15) return rows;
    for (qsizetype k = 10; k <= count - 5; ++k) {
        const QByteArray& raw = page.lines[k];
        if (!raw.contains(gbk("作者")) || !raw.contains(gbk("大小"))) continue;
        const QByteArray l = trimmed(raw);
        const qsizetype bracket = l.indexOf('[');
        ResultRow row{bracket < 0 ? QByteArray() : l.left(bracket), {}, {}, "html"};
        for (const PageLink& link : page.links) {
            if (!link.text.isEmpty() && row.title.contains(link.text)) {
                row.address = link.href;
                break;
            }
        }
        rows.append(row);
    }
    return rows;
}

QList<PageLink> readListEntries(const PageView& page, const QByteArray& host) {
    const QByteArray h = "http://" + host;
    QList<PageLink> out;
    for (const PageLink& link : page.links) {
        if (link.href.contains(h + "/m?rn=&tn=baidump3&ct=")) out.append(link);
        if (link.href.contains(h + "/m?tn=baidump3&ct=134217728&word=") &&
            link.href.contains("&f=al"))
            out.append(link);
        if (link.href.contains(h + "/singer/")) out.append(link);
    }
    return out;
}

}  // namespace melorin::testing
