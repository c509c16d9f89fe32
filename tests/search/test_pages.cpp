// The search library as the window reads pages: UTF-8 in, song rows out, the same rows as the
// byte-level parser finds on the GBK page.
#include <QtTest>
#include <unordered_set>

#include "core/text.h"
#include "search/pages.h"
#include "tests/search/pagefixture.h"

using namespace melorin;
using namespace melorin::search;
using namespace Qt::StringLiterals;

namespace {

// A fixture page as the browser gives it: UTF-8 links and body text.
struct Utf8Page {
    std::vector<search::PageLink> links;
    std::string body;
};

Utf8Page utf8Page(const testing::FixturePage& f) {
    Utf8Page p;
    for (const auto& l : f.links)
        p.links.push_back({core::gbkToUtf8(l.href), core::gbkToUtf8(l.text)});
    for (const auto& line : f.lines) p.body += core::gbkToUtf8(line) + "\n";
    return p;
}

QStringList described(const std::vector<core::SongRow>& rows) {
    QStringList out;
    for (const auto& r : rows) {
        out << QString::fromStdString(r.caption + "|" + std::to_string(r.icon) + "|" + r.title +
                                      "|" + r.address + "|" + r.size + "|" + r.type);
    }
    return out;
}

QStringList describedGbk(const std::vector<gbk::ResultRow>& rows) {
    QStringList out;
    for (const auto& r : rows) {
        out << QString::fromStdString(core::gbkToUtf8(r.caption + "|" + std::to_string(r.icon) +
                                                      "|" + r.title + "|" + r.address + "|" +
                                                      r.size + "|" + r.type));
    }
    return out;
}

const std::string kPrefix = "http://mp3.baidu.com/r?url=";

}  // namespace

class TestPages : public QObject {
    Q_OBJECT
private slots:
    void fixturesAsTheParserReadsThem_data();
    void fixturesAsTheParserReadsThem();
    void knownAddressesAreUtf8();
    void charactersBeyondGbkAreKept_data();
    void charactersBeyondGbkAreKept();
    void listEntriesAreListShaped();
};

void TestPages::fixturesAsTheParserReadsThem_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<int>("kind");
    QTest::newRow("MP3 page") << u"mp3_page.txt"_s << 2;
    QTest::newRow("FLASH page") << u"flash_page.txt"_s << 5;
}

void TestPages::fixturesAsTheParserReadsThem() {
    QFETCH(QString, fixture);
    QFETCH(int, kind);
    const testing::FixturePage f = testing::fixturePage(fixture.toLatin1().constData());
    gbk::ResultPageInput in;
    in.links = f.links;
    in.lines = f.lines;
    in.kindIndex = kind;
    in.headerIcon = kind;
    in.rowsBefore = 3;
    const gbk::ResultPageOutput bytes =
        gbk::parseResultPage(Hosts{}, SearchState{1, 3, false, ""}, in);

    const Utf8Page page = utf8Page(f);
    ListContext list;
    list.kindIndex = kind;
    list.headerIcon = kind;
    list.rowsBefore = 3;
    const ResultPageRead read =
        readResultPage(Hosts{}, SearchState{1, 3, false, ""}, {page.links, page.body}, list);

    QVERIFY(!read.rows.empty());
    QCOMPARE(described(read.rows), describedGbk(bytes.rows));
    for (const auto& r : read.rows) QVERIFY(r.isFile());
    QCOMPARE(read.countLabel.value_or("-"), core::gbkToUtf8(bytes.countLabel.value_or("-")));
    QCOMPARE(read.captionSuffix.value_or("-"), core::gbkToUtf8(bytes.captionSuffix.value_or("-")));
    QCOMPARE(read.state.searchRowCount, bytes.state.searchRowCount);
    QCOMPARE(read.state.localIp, core::gbkToUtf8(bytes.state.localIp));
    QCOMPARE(read.requestNextPage, bytes.requestNextPage);
}

void TestPages::knownAddressesAreUtf8() {
    // A Chinese address in the list stops the same link; a new one is appended, numbered on.
    const std::vector<search::PageLink> links{
        {kPrefix + "http://h/月亮.mp3", "月亮"},
        {kPrefix + "http://h/星星.mp3", "星星"},
    };
    const std::string body = "1 月亮 2.4 Mmp3\n2 星星 1.0 Mmp3\n";
    const std::unordered_set<std::string> known{"http://h/月亮.mp3"};
    ListContext list;
    list.rowsBefore = 1;
    list.knownAddresses = &known;
    list.countShown = true;
    const ResultPageRead read =
        readResultPage(Hosts{}, SearchState{1, 1, false, ""}, {links, body}, list);
    QCOMPARE(described(read.rows), QStringList{u"2|0|星星|http://h/星星.mp3|1.0M|mp3"_s});
    QVERIFY(!read.countLabel);
}

void TestPages::charactersBeyondGbkAreKept_data() {
    QTest::addColumn<QString>("title");
    // A numeric reference the GBK page held, decoded by the browser.
    QTest::newRow("emoji") << u"\U0001F600歌"_s;
    // Bytes that were not GBK, which the browser showed as the replacement character.
    QTest::newRow("replacement character") << u"\uFFFD歌\uFFFD"_s;
}
void TestPages::charactersBeyondGbkAreKept() {
    // The row holds the character itself: never a "?", never its reference as text.
    QFETCH(QString, title);
    const std::vector<search::PageLink> links{{kPrefix + "http://h/a.mp3", title.toStdString()}};
    const std::string body = "1 " + title.toStdString() + " 2.4 Mmp3\n";
    const ResultPageRead read =
        readResultPage(Hosts{}, SearchState{}, {links, body}, ListContext{});
    QCOMPARE(described(read.rows), QStringList{u"1|0|"_s + title + u"|http://h/a.mp3|2.4M|mp3"_s});
}

void TestPages::listEntriesAreListShaped() {
    const std::vector<search::PageLink> links{
        {"http://music.baidu.com/singer/a.html", "歌手甲"},
        {"", "空"},
    };
    const std::vector<core::SongRow> rows = search::readListPage(Hosts{}, links, 7);
    QCOMPARE(rows.size(), std::size_t{1});
    QCOMPARE(rows[0], core::listEntry("8", "歌手甲", "er/a.html"));
    QVERIFY(!rows[0].isFile());
}

QTEST_GUILESS_MAIN(TestPages)
#include "test_pages.moc"
