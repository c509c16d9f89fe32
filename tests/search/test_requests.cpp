// Page addresses, their wire form, and what the search requests do to the search state.
#include <QtTest>

#include "search/requests.h"
#include "tests/search/pagefixture.h"

using namespace melorin::search;
using melorin::search::testing::toGbk;
using namespace Qt::StringLiterals;

namespace {
const QString kNone = QStringLiteral("<nothing>");
}

class TestRequests : public QObject {
    Q_OBJECT
private slots:
    void addresses_data();
    void addresses();
    void wireForm_data();
    void wireForm();
    void requestsTakeUtf8_data();
    void requestsTakeUtf8();
    void hostsOnOneService();
    void searchRequestState();
    void nextPageRequestFollowsParser();
    void typeChanged_data();
    void typeChanged();
    void listAndAlbumRequests();
};

void TestRequests::addresses_data() {
    QTest::addColumn<QString>("request");  // first, next, list0..3, album
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("localIp");
    QTest::addColumn<QString>("expected");

    const QString ab = QStringLiteral("ab");
    QTest::newRow("first MP3")
        << "first" << ab << 0 << 0 << ""
        << "http://mp3.baidu.com/m?tn=baidump3&ct=134217728&rn=&word=ab&lm=0";
    QTest::newRow("first WMA")
        << "first" << ab << 2 << 0 << ""
        << "http://mp3.baidu.com/m?tn=baidump3&ct=134217728&rn=&word=ab&lm=2";
    QTest::newRow("first RAM")
        << "first" << ab << 4 << 0 << ""
        << "http://mp3.baidu.com/m?tn=baidump3&ct=134217728&rn=&word=ab&lm=4";
    QTest::newRow("first none selected")
        << "first" << ab << -1 << 0 << ""
        << "http://mp3.baidu.com/m?tn=baidump3&ct=134217728&rn=&word=ab&lm=-1";
    QTest::newRow("first FLASH")
        << "first" << ab << 5 << 0 << ""
        << "http://flash.baidu.com/f?tn=flash&sort=time&rn=10&pn=0&cl=3&f=8&word=ab&ct=33554432";
    QTest::newRow("third RM page, no ip")
        << "next" << ab << 1 << 3 << ""
        << "http://mp3.baidu.com/m?lm=1&ct=134217728&tn=baidump3&word=ab&pn=90&ip=&cl=3&z=0";
    QTest::newRow("next MP3 with ip")
        << "next" << ab << 0 << 2 << "61.135.1.2"
        << "http://mp3.baidu.com/"
           "m?lm=0&ct=134217728&tn=baidump3&word=ab&pn=60&ip=61.135.1.2&cl=3&z=0";
    for (int page = 2; page <= 21; ++page) {
        const QString expected =
            page * 30 > 600
                ? kNone
                : QStringLiteral(
                      "http://mp3.baidu.com/m?lm=3&ct=134217728&tn=baidump3&word=ab&pn=%1"
                      "&ip=&cl=3&z=0")
                      .arg(page * 30);
        QTest::addRow("ASF page %d", page) << "next" << ab << 3 << page << "" << expected;
    }
    for (int page = 2; page <= 11; ++page) {
        const QString expected =
            page * 10 > 100
                ? kNone
                : QStringLiteral("http://www.baidu.com/f?lm=0&ct=33554432&tn=flash&word=ab&pn=%1")
                      .arg(page * 10);
        QTest::addRow("FLASH page %d", page) << "next" << ab << 5 << page << "" << expected;
    }
    QTest::newRow("next, none selected pages as FLASH")
        << "next" << ab << -1 << 2 << ""
        << "http://www.baidu.com/f?lm=0&ct=33554432&tn=flash&word=ab&pn=20";
    QTest::newRow("next, huge page counter") << "next" << ab << 0 << INT_MAX << "" << kNone;
    QTest::newRow("Chinese text with a blank, unescaped")
        << "first" << QStringLiteral(u"邓丽君 甜蜜蜜") << 0 << 0 << ""
        << QStringLiteral(
               u"http://mp3.baidu.com/m?tn=baidump3&ct=134217728&rn=&word=邓丽君 甜蜜蜜&lm=0");
    QTest::newRow("text kept as typed")
        << "first"
        << " a&b " << 0 << 0 << ""
        << "http://mp3.baidu.com/m?tn=baidump3&ct=134217728&rn=&word= a&b &lm=0";
    QTest::newRow("male chart") << "list0"
                                << "" << 0 << 0 << ""
                                << "http://list.mp3.baidu.com/ngeshou.html";
    QTest::newRow("female chart") << "list1"
                                  << "" << 0 << 0 << ""
                                  << "http://list.mp3.baidu.com/ygeshou.html";
    QTest::newRow("song chart") << "list2"
                                << "" << 0 << 0 << ""
                                << "http://list.mp3.baidu.com/mp3.html";
    QTest::newRow("all singers") << "list3"
                                 << "" << 0 << 0 << ""
                                 << "http://music.baidu.com/singer/singers.html";
    QTest::newRow("albums WMA")
        << "album" << ab << 2 << 0 << ""
        << "http://mp3.baidu.com/m?tn=baidump3&ct=134217728&rn=&word=ab&lm=2";
    QTest::newRow("albums FLASH")
        << "album" << ab << 5 << 0 << ""
        << "http://mp3.baidu.com/m?tn=baidump3&ct=134217728&rn=&word=ab&lm=-1";
}

void TestRequests::addresses() {
    QFETCH(QString, request);
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(int, page);
    QFETCH(QString, localIp);
    QFETCH(QString, expected);
    const Hosts hosts;
    const std::string t = toGbk(text);
    std::optional<std::string> got;
    if (request == u"first") {
        got = firstPageAddress(hosts, t, kind);
    } else if (request == u"next") {
        got = nextPageAddress(hosts, t, kind, page, localIp.toStdString());
    } else if (request == u"album") {
        got = albumAddress(hosts, t, kind);
    } else {
        got = listPageAddress(hosts, static_cast<ListPage>(request.right(1).toInt()));
    }
    if (expected == kNone) {
        QVERIFY(!got);
    } else {
        QVERIFY(got);
        QCOMPARE(*got, toGbk(expected));
    }
}

void TestRequests::wireForm_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("wire");
    QTest::newRow("ascii unchanged") << "http://h/m?a=1&b=%41~"
                                     << "http://h/m?a=1&b=%41~";
    // 邓 is B5 CB in GBK, 丽 C0 F6, 君 BE FD, 甜 CC F0, 蜜 C3 DB.
    QTest::newRow("Chinese and blank")
        << QStringLiteral(u"http://h/m?word=邓丽君 甜蜜蜜&lm=0")
        << "http://h/m?word=%B5%CB%C0%F6%BE%FD%20%CC%F0%C3%DB%C3%DB&lm=0";
    QTest::newRow("empty") << ""
                           << "";
}

void TestRequests::wireForm() {
    QFETCH(QString, address);
    QFETCH(QString, wire);
    QCOMPARE(wireAddress(toGbk(address)), wire.toStdString());
}

void TestRequests::requestsTakeUtf8_data() {
    QTest::addColumn<QString>("request");  // search, next, album
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("wire");
    const QString word = QStringLiteral(u"邓丽君 甜蜜蜜");
    const QString gbkWord = QStringLiteral("%B5%CB%C0%F6%BE%FD%20%CC%F0%C3%DB%C3%DB");
    QTest::newRow("search, GBK text")
        << "search" << word
        << u"http://mp3.baidu.com/m?tn=baidump3&ct=134217728&rn=&word="_s + gbkWord + u"&lm=0"_s;
    QTest::newRow("next page, GBK text")
        << "next" << word
        << u"http://mp3.baidu.com/m?lm=0&ct=134217728&tn=baidump3&word="_s + gbkWord +
               u"&pn=60&ip=1.2.3.4&cl=3&z=0"_s;
    QTest::newRow("album, GBK text")
        << "album" << word
        << u"http://mp3.baidu.com/m?tn=baidump3&ct=134217728&rn=&word="_s + gbkWord + u"&lm=0"_s;
    // GBK has no emoji: it goes as its UTF-8 bytes, never dropped or "?".
    QTest::newRow("search, beyond GBK")
        << "search" << QStringLiteral(u"歌\U0001F600")
        << u"http://mp3.baidu.com/m?tn=baidump3&ct=134217728&rn=&word=%B8%E8%F0%9F%98%80&lm=0"_s;
}

void TestRequests::requestsTakeUtf8() {
    QFETCH(QString, request);
    QFETCH(QString, text);
    QFETCH(QString, wire);
    const Hosts hosts;
    const SearchState s{2, 30, false, "1.2.3.4"};
    const std::string t = text.toStdString();
    const Request r = request == u"search" ? searchRequest(hosts, s, t, 0)
                      : request == u"next" ? nextPageRequest(hosts, s, t, 0)
                                           : albumRequest(hosts, s, t, 0);
    QCOMPARE(QString::fromStdString(r.address.value_or("-")), wire);
}

void TestRequests::hostsOnOneService() {
    const Hosts local = hostsOnOne("127.0.0.1:8360");
    QCOMPARE(redirectPrefix(local), std::string("http://127.0.0.1:8360/r?url="));
    QCOMPARE(redirectPrefix(Hosts{}).size(), std::size_t{27});
    QCOMPARE(firstPageAddress(local, "ab", 5),
             std::string("http://127.0.0.1:8360/f?tn=flash&sort=time&rn=10&pn=0&cl=3&f=8&word=ab"
                         "&ct=33554432"));
    QCOMPARE(listPageAddress(local, ListPage::AllSingers),
             std::string("http://127.0.0.1:8360/singer/singers.html"));
    QCOMPARE(*nextPageAddress(local, "ab", 5, 2, ""),
             std::string("http://127.0.0.1:8360/f?lm=0&ct=33554432&tn=flash&word=ab&pn=20"));
}

void TestRequests::searchRequestState() {
    const Hosts hosts;
    SearchState s;
    s.searchPage = 7;
    s.searchRowCount = 40;
    s.searchStopped = true;
    s.localIp = "1.2.3.4";

    const Request empty = searchRequest(hosts, s, "", 0);
    QVERIFY(empty.focusSearchBox);
    QVERIFY(!empty.address && !empty.clearList && !empty.headerIcon);
    QCOMPARE(empty.state.searchStopped, false);
    QCOMPARE(empty.state.searchRowCount, 40);

    const Request r = searchRequest(hosts, s, "ab", 3);
    QVERIFY(r.clearList && r.resetCountLabel && !r.focusSearchBox);
    QCOMPARE(r.browser, Browser::Results);
    QCOMPARE(r.headerIcon, std::optional<int>(3));
    QCOMPARE(r.state, (SearchState{1, 0, false, "1.2.3.4"}));
    QCOMPARE(*r.address, firstPageAddress(hosts, "ab", 3));
    QCOMPARE(searchRequest(hosts, s, "ab", kNoKind).headerIcon, std::optional<int>(5));
}

void TestRequests::nextPageRequestFollowsParser() {
    const Hosts hosts;
    SearchState s{2, 30, false, "9.9.9.9"};
    const Request r = nextPageRequest(hosts, s, "new", 0);
    QCOMPARE(*r.address, *nextPageAddress(hosts, "new", 0, 2, "9.9.9.9"));
    QCOMPARE(r.state, s);
    s.searchPage = 21;
    QVERIFY(!nextPageRequest(hosts, s, "new", 0).address);
    s.searchPage = 11;
    QVERIFY(!nextPageRequest(hosts, s, "new", 5).address);
}

void TestRequests::typeChanged_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("searches");
    QTest::newRow("text and kind") << "ab" << 1 << true;
    QTest::newRow("FLASH") << "ab" << 5 << true;
    QTest::newRow("empty search box") << "" << 1 << false;
    QTest::newRow("nothing selected") << "ab" << -1 << false;
}

void TestRequests::typeChanged() {
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(bool, searches);
    const SearchState s{5, 12, true, ""};
    const Request r = typeChangedRequest(Hosts{}, s, text.toStdString(), kind);
    QCOMPARE(r.address.has_value(), searches);
    QCOMPARE(r.clearList, searches);
    QVERIFY(!r.focusSearchBox);
    if (!searches) QCOMPARE(r.state, s);
}

void TestRequests::listAndAlbumRequests() {
    const Hosts hosts;
    const SearchState s{4, 12, true, "ip"};
    const Request list = listPageRequest(hosts, s, ListPage::Songs);
    QCOMPARE(list.browser, Browser::Lists);
    QVERIFY(list.clearList && !list.headerIcon && !list.resetCountLabel);
    QCOMPARE(list.state, s);

    const Request album = albumRequest(hosts, s, "ab", 1);
    QCOMPARE(album.browser, Browser::Lists);
    QVERIFY(album.clearList && !album.headerIcon);
    QCOMPARE(album.state, (SearchState{4, 0, true, "ip"}));
    const Request none = albumRequest(hosts, s, "", 1);
    QVERIFY(none.focusSearchBox && !none.address && !none.clearList);
    QCOMPARE(none.state, s);
}

QTEST_GUILESS_MAIN(TestRequests)
#include "test_requests.moc"
