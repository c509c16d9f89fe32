// The demo service's pages read the way Melorin reads them: GBK, the count line, result rows
// with the intended title, address, size and type, paging, FLASH rows and list entries.
#include <QtTest>

#include "service/catalogue.h"
#include "service/pages.h"
#include "service/text.h"
#include "tests/support/pagereader.h"
#include "tests/support/servicerun.h"

using namespace melorin::testing;
using namespace melorin::service;
using namespace Qt::StringLiterals;

namespace {

QByteArray enc(const char* utf8) {
    return gbk(utf8).toPercentEncoding();
}

// The row Melorin should list for result r of a search.
ResultRow expectedRow(const std::vector<const Song*>& matches, int r, const QByteArray& host) {
    const Song& song = *matches[static_cast<std::size_t>(r) % matches.size()];
    const int source = r / static_cast<int>(matches.size()) + 1;
    const QByteArray ext(kindExtension(song.kind).data(),
                         qsizetype(kindExtension(song.kind).size()));
    const QByteArray address = "http://" + host + "/music/s" +
                               QByteArray::number(source).rightJustified(2, '0') + "/" +
                               QByteArray::number(song.id).rightJustified(3, '0') + "." + ext;
    QByteArray size = QByteArray::fromStdString(song.size);
    size.replace(' ', "");
    return {gbk(std::string(song.title).c_str()), address, size, ext};
}

}  // namespace

class ServicePagesTest : public QObject {
    Q_OBJECT

private:
    ServiceRun service_;

    PageView page(const QByteArray& target) {
        const RawAnswer a = service_.get(target);
        [&] { QCOMPARE(a.status, 200); }();
        return readPage(a.body);
    }

private slots:
    void initTestCase() { QVERIFY2(service_.start(), qPrintable(service_.error())); }

    void catalogueSize() {
        QVERIFY(songs().size() >= 60);
        for (int k = 0; k < kKindCount; ++k) {
            QVERIFY(std::count_if(songs().begin(), songs().end(), [k](const Song& s) {
                        return static_cast<int>(s.kind) == k;
                    }) >= 12);
        }
    }

    void wordFromQuery_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("word");
        QTest::newRow("gbk") << gbk("歌") << u"歌"_s;
        QTest::newRow("gbk that is also utf-8") << gbk("山水谣") << u"山水谣"_s;
        QTest::newRow("utf-8") << QByteArray("\xE6\xAD\x8C") << u"歌"_s;
        QTest::newRow("ascii") << QByteArray("ab") << u"ab"_s;
        QTest::newRow("gbk and ascii") << gbk("a听风b") << u"a听风b"_s;
    }
    void wordFromQuery() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, word);
        QCOMPARE(QString::fromStdString(melorin::service::wordFromQuery(bytes.toStdString())),
                 word);
    }

    void pagesAreGbk_data() {
        QTest::addColumn<QByteArray>("target");
        QTest::newRow("result") << "/m?tn=baidump3&ct=134217728&rn=&word=" + enc("歌") + "&lm=0";
        QTest::newRow("flash") << "/f?tn=flash&sort=time&rn=10&pn=0&cl=3&f=8&word=" + enc("歌") +
                                      "&ct=33554432";
        QTest::newRow("male chart") << QByteArray("/ngeshou.html");
        QTest::newRow("singers") << QByteArray("/singer/singers.html");
        QTest::newRow("singer") << QByteArray("/singer/03.html");
        QTest::newRow("home") << QByteArray("/");
        QTest::newRow("help") << QByteArray("/help.html");
        QTest::newRow("missing") << QByteArray("/nothing-here");
    }
    void pagesAreGbk() {
        QFETCH(QByteArray, target);
        const RawAnswer a = service_.get(target);
        QVERIFY(a.status == 200 || a.status == 404);
        QCOMPARE(a.header("Content-Type"), QByteArray("text/html; charset=gbk"));
        QVERIFY(a.body.contains("charset=gbk"));
        QVERIFY(a.body.contains(gbk("演示服务")));
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString decoded = utf8.decode(a.body);
        QVERIFY(!decoded.isEmpty());
        QVERIFY2(utf8.hasError(), "page should not be UTF-8");
    }

    // Runs a search chain as Melorin does and checks every row it would list.
    void searchChain_data() {
        QTest::addColumn<QByteArray>("word");  // as sent, percent-encoded
        QTest::addColumn<QString>("wordText");
        QTest::addColumn<int>("lm");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("rows");
        QTest::newRow("common, mp3") << enc("歌") << u"歌"_s << 0 << 20 << 600;
        QTest::newRow("common, rm") << enc("歌") << u"歌"_s << 1 << 20 << 600;
        QTest::newRow("common, ram") << enc("歌") << u"歌"_s << 4 << 20 << 600;
        QTest::newRow("common, all kinds") << enc("歌") << u"歌"_s << -1 << 20 << 600;
        QTest::newRow("common, utf-8 word") << QByteArray("%E6%AD%8C") << u"歌"_s << 2 << 20 << 600;
        QTest::newRow("singer, all kinds") << enc("沈墨川") << u"沈墨川"_s << -1 << 9 << 220;
        QTest::newRow("one title") << enc("月下听风") << u"月下听风"_s << 0 << 2 << 30;
        QTest::newRow("title of another kind") << enc("月下听风") << u"月下听风"_s << 1 << 1 << 0;
        QTest::newRow("unknown") << enc("无此歌名") << u"无此歌名"_s << 0 << 1 << 0;
        QTest::newRow("empty") << QByteArray() << QString() << 0 << 1 << 0;
    }
    void searchChain() {
        QFETCH(QByteArray, word);
        QFETCH(QString, wordText);
        QFETCH(int, lm);
        QFETCH(int, requests);
        QFETCH(int, rows);
        const QByteArray host = service_.host();
        const QByteArray lmText = QByteArray::number(lm);
        const auto matches = findSongs(
            wordText.toStdString(), lm < 0 ? std::nullopt : std::optional(static_cast<Kind>(lm)));

        QSet<QByteArray> seen;
        QList<ResultRow> listed;
        QByteArray localIp;
        QByteArray target = "/m?tn=baidump3&ct=134217728&rn=&word=" + word + "&lm=" + lmText;
        int searchPage = 1;
        int sent = 0;
        while (sent < 30) {
            const PageView view = page(target);
            ++sent;
            const ResultRead read = readResults(view, host, seen);
            if (sent == 1) {
                QCOMPARE(read.countText,
                         QByteArray::number(qsizetype(matches.size()) * kSourcesPerSong));
                QCOMPARE(read.localIp, QByteArray("127.0.0.1"));
                localIp = read.localIp;
            }
            listed += read.rows;
            if (read.rows.isEmpty()) break;
            ++searchPage;
            if (searchPage * 30 > 600) break;
            target = "/m?lm=" + lmText + "&ct=134217728&tn=baidump3&word=" + word +
                     "&pn=" + QByteArray::number(searchPage * 30) + "&ip=" + localIp + "&cl=3&z=0";
        }
        QCOMPARE(sent, requests);
        QCOMPARE(listed.size(), rows);
        // Rows come from results 0-29, then from offset 60 on (Melorin skips 30-59).
        for (int i = 0; i < listed.size(); ++i) {
            const int r = i < 30 ? i : i + 30;
            const ResultRow want = expectedRow(matches, r, host);
            QCOMPARE(listed[i].title, want.title);
            QCOMPARE(listed[i].address, want.address);
            QCOMPARE(listed[i].size, want.size);
            QCOMPARE(listed[i].type, want.type);
        }
    }

    void flashChain_data() {
        QTest::addColumn<QByteArray>("word");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("rows");
        QTest::newRow("common") << enc("歌") << 10 << 100;
        QTest::newRow("one title") << enc("月下听风") << 2 << 2;
        QTest::newRow("unknown") << enc("无此歌名") << 1 << 0;
    }
    void flashChain() {
        QFETCH(QByteArray, word);
        QFETCH(int, requests);
        QFETCH(int, rows);
        QByteArray target =
            "/f?tn=flash&sort=time&rn=10&pn=0&cl=3&f=8&word=" + word + "&ct=33554432";
        QList<ResultRow> listed;
        int searchPage = 1;
        int sent = 0;
        while (sent < 20) {
            const PageView view = page(target);
            ++sent;
            QSet<QByteArray> seen;
            QVERIFY(readResults(view, service_.host(), seen).rows.isEmpty());
            const auto found = readFlashRows(view);
            listed += found;
            if (found.isEmpty()) break;
            ++searchPage;
            if (searchPage * 10 > 100) break;
            target = "/f?lm=0&ct=33554432&tn=flash&word=" + word +
                     "&pn=" + QByteArray::number(searchPage * 10);
        }
        QCOMPARE(sent, requests);
        QCOMPARE(listed.size(), rows);
        for (const ResultRow& row : listed) {
            QVERIFY(!row.title.isEmpty());
            QVERIFY2(row.address.startsWith("http://" + service_.host() + "/flash/"), row.address);
        }
        if (!listed.isEmpty()) {
            const QByteArray path = listed.first().address.mid(7 + service_.host().size());
            const PageView item = page(path);
            QVERIFY(item.text.contains(listed.first().title));
        }
    }

    // Every entry of a list page must be of Melorin's three link classes and find songs when
    // Melorin searches for its name.
    void listPages_data() {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<int>("entries");
        QTest::addColumn<QString>("first");
        QTest::newRow("male singers") << QByteArray("/ngeshou.html") << 8 << u"沈墨川"_s;
        QTest::newRow("female singers") << QByteArray("/ygeshou.html") << 7 << u"苏晚晴"_s;
        QTest::newRow("songs") << QByteArray("/mp3.html") << 30 << u"月下听风"_s;
        QTest::newRow("all singers") << QByteArray("/singer/singers.html") << 15 << u"沈墨川"_s;
        QTest::newRow("singer page") << QByteArray("/singer/00.html") << 6 << u"听风集"_s;
        QTest::newRow("albums of a singer")
            << "/m?tn=baidump3&ct=134217728&rn=&word=" + enc("沈墨川") + "&lm=-1" << 1
            << u"听风集"_s;
        QTest::newRow("albums, common word")
            << "/m?tn=baidump3&ct=134217728&rn=&word=" + enc("歌") + "&lm=0" << 15 << u"听风集"_s;
    }
    void listPages() {
        QFETCH(QByteArray, target);
        QFETCH(int, entries);
        QFETCH(QString, first);
        const auto list = readListEntries(page(target), service_.host());
        QCOMPARE(list.size(), entries);
        QCOMPARE(list.first().text, gbk(first.toUtf8().constData()));
        for (const PageLink& entry : list) {
            QSet<QByteArray> seen;
            const PageView found =
                page("/m?tn=baidump3&ct=134217728&rn=&word=" + entry.text.toPercentEncoding() +
                     "&lm=-1");
            QVERIFY2(!readResults(found, service_.host(), seen).rows.isEmpty(), entry.text);
            // The entry's own link answers too.
            QCOMPARE(service_.get(entry.href.mid(7 + service_.host().size())).status, 200);
        }
    }

    void redirect_data() {
        QTest::addColumn<QByteArray>("url");
        QTest::addColumn<int>("status");
        const QByteArray own = "http://127.0.0.1:PORT/music/s01/000.mp3";
        QTest::newRow("own address") << own << 302;
        QTest::newRow("other host") << QByteArray("http://example.invalid/a.mp3") << 400;
        QTest::newRow("nothing") << QByteArray() << 400;
    }
    void redirect() {
        QFETCH(QByteArray, url);
        QFETCH(int, status);
        url.replace("PORT", QByteArray::number(service_.port()));
        const RawAnswer a = service_.get("/r?url=" + url);
        QCOMPARE(a.status, status);
        if (status == 302) QCOMPARE(a.header("Location"), url);
    }

    // The search word shows as the page's text with & < > " and ' as entities, the rest of
    // the page as it was; the links keep it percent-encoded.
    void wordIsEscaped_data() {
        QTest::addColumn<QByteArray>("word");  // as the query carries it
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("markup") << QByteArray("%3Cb%3E%26%22")
                                << QByteArray("&lt;b&gt;&amp;&quot;");
        QTest::newRow("apostrophe")
            << QByteArray("Rock%27n%27Roll") << QByteArray("Rock&#39;n&#39;Roll");
        QTest::newRow("chinese") << enc("周'歌&") << gbk("周&#39;歌&amp;");
        QTest::newRow("plain") << enc("山水谣") << gbk("山水谣");
    }
    void wordIsEscaped() {
        QFETCH(QByteArray, word);
        QFETCH(QByteArray, shown);
        const RawAnswer a = service_.get("/m?tn=baidump3&ct=134217728&rn=&word=" + word + "&lm=0");
        QCOMPARE(a.status, 200);
        QVERIFY(!a.body.contains("<b>"));
        QVERIFY2(a.body.contains(gbk("您搜索的是：") + shown), a.body.constData());
        QVERIFY(a.body.contains("word=" + word));
    }
    void errorPageEscapes() {
        const std::string page = errorPage(404, "it's <gone> & \"lost\"");
        QVERIFY(QByteArray::fromStdString(page).contains(
            "it&#39;s &lt;gone&gt; &amp; &quot;lost&quot;"));
    }

    // The catalogue routes turn away clients that do not name themselves and texts that are
    // not UTF-8, and send downloads on to the file.
    void catalogueRoutes_data() {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("agent");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("location");  // after the host; empty: none
        const QByteArray melorin = "Melorin/0.1.0 (+https://melorin.invalid/)";
        const QByteArray q =
            "/advancedsearch.php?q=%28title%3A%28" + QByteArray("歌").toPercentEncoding() +
            "%29%20OR%20creator%3A%28x%29%29%20AND%20mediatype%3Aaudio&output=json";
        QTest::newRow("search") << q << melorin << 200 << QByteArray();
        QTest::newRow("search, another client")
            << q << QByteArray("curl/7.88") << 403 << QByteArray();
        QTest::newRow("search, no client") << q << QByteArray() << 403 << QByteArray();
        QTest::newRow("search, GBK text")
            << "/api/query?f=json&search=" + enc("歌") << melorin << 400 << QByteArray();
        QTest::newRow("ccMixter") << QByteArray("/api/query?f=json&search=%E6%AD%8C") << melorin
                                  << 200 << QByteArray();
        QTest::newRow("metadata, another client")
            << QByteArray("/metadata/melorin-names") << QByteArray("Wget") << 403 << QByteArray();
        QTest::newRow("download") << QByteArray("/download/melorin-names/A%20side%20%231%3F.mp3")
                                  << QByteArray() << 302
                                  << QByteArray("/items/melorin-names/A%20side%20%231%3F.mp3");
        QTest::newRow("download, restricted")
            << QByteArray("/download/melorin-restricted/01%20%E5%80%9F%E9%98%85%E6%9C%AC.mp3")
            << QByteArray() << 403 << QByteArray();
        QTest::newRow("download, not an MP3") << QByteArray("/download/melorin-album-01/cover.jpg")
                                              << QByteArray() << 404 << QByteArray();
        QTest::newRow("file") << QByteArray(
                                     "/items/melorin-names/%E7%AC%AC%E4%BA%8C%E9%9D%A2/"
                                     "%E5%A4%9C%E6%9B%B2%20%28live%29.mp3")
                              << QByteArray() << 200 << QByteArray();
    }
    void catalogueRoutes() {
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, agent);
        QFETCH(int, status);
        QFETCH(QByteArray, location);
        const RawAnswer a = service_.get(
            target, agent.isEmpty() ? QList<QByteArray>{} : QList{"User-Agent: " + agent});
        QCOMPARE(a.status, status);
        if (!location.isEmpty())
            QCOMPARE(a.header("Location"), "http://" + service_.host() + location);
        if (status == 200 && !target.startsWith("/items/")) {
            QCOMPARE(a.header("Content-Type"), QByteArray("application/json; charset=utf-8"));
        }
    }
};

QTEST_GUILESS_MAIN(ServicePagesTest)
#include "test_servicepages.moc"
