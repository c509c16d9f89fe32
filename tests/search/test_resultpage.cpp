// The result page parser and the list page reader on small GBK pages.
#include <QtTest>

#include "search/listpage.h"
#include "search/resultpage.h"
#include "tests/search/pagefixture.h"

using namespace melorin::search;
using namespace melorin::search::gbk;
using namespace melorin::search::testing;
using namespace Qt::StringLiterals;

namespace {

const QString kPrefix = QStringLiteral("http://mp3.baidu.com/r?url=");

struct Page {
    Page(std::vector<std::string> l, std::vector<PageLink> k, std::vector<std::string> e = {})
        : lines(std::move(l)), links(std::move(k)), existing(std::move(e)) {}
    std::vector<std::string> lines;
    std::vector<PageLink> links;
    std::vector<std::string> existing;
    int kind = 0;
    int headerIcon = 0;
    bool countLabelInitial = false;
    bool captionHasIp = false;
};

ResultPageOutput parse(const Page& p, const SearchState& state = SearchState{1, 0, false, ""},
                       const Hosts& hosts = Hosts{}) {
    ResultPageInput in;
    in.links = p.links;
    in.lines = p.lines;
    in.rowsBefore = p.existing.size();
    in.listed = listedIn(p.existing);
    in.kindIndex = p.kind;
    in.headerIcon = p.headerIcon;
    in.countLabelInitial = p.countLabelInitial;
    in.captionHasIp = p.captionHasIp;
    return parseResultPage(hosts, state, in);
}

// Rows as "caption|icon|title|address|size|type", decoded from GBK for readable failures.
QStringList described(const std::vector<ResultRow>& rows) {
    auto q = [](const std::string& s) { return fromGbk(s); };
    QStringList out;
    for (const auto& r : rows)
        out << QStringList{q(r.caption), QString::number(r.icon),
                           q(r.title),   q(r.address),
                           q(r.size),    q(r.type)}
                   .join(u'|');
    return out;
}

}  // namespace

class TestResultPage : public QObject {
    Q_OBJECT
private slots:
    void mp3FixturePage();
    void flashFixturePage();
    void sizeAndType_data();
    void sizeAndType();
    void countLabel_data();
    void countLabel();
    void linkPass_data();
    void linkPass();
    void localIp_data();
    void localIp();
    void flashTextPass_data();
    void flashTextPass();
    void continueOrFinish_data();
    void continueOrFinish();
    void localService();
    void listPage_data();
    void listPage();
};

void TestResultPage::mp3FixturePage() {
    const FixturePage f = fixturePage("mp3_page.txt");
    Page p{f.lines, f.links};
    p.kind = 2;
    p.headerIcon = 2;
    p.countLabelInitial = true;
    const ResultPageOutput out = parse(p);
    QCOMPARE(described(out.rows),
             (QStringList{
                 u"1|2|月亮代表我的心|http://music.example.org/moon.mp3|2.4M|mp3"_s,
                 u"2|2|甜蜜蜜|http://music.example.org/sweet.wma|3.1M|wma"_s,
                 u"3|2|小城故事|http://music.example.org/town.rm|512K|rm"_s,
                 u"4|2|但愿人长久|http://music.example.org/wish.rm|4.0M|rm"_s,
                 u"5|2|千言万语|http://music.example.org/words.asf|980K|asf"_s,
                 u"6|2|何日君再来|http://music.example.org/when.mp3||mp3"_s,
             }));
    QCOMPARE(out.countLabel, std::optional<std::string>(toGbk(u" 搜索结果  57"_s)));
    QCOMPARE(out.state, (SearchState{2, 6, false, "61.135.1.2"}));
    QCOMPARE(out.captionSuffix, std::optional<std::string>(toGbk(u"   本机ip为:  61.135.1.2"_s)));
    QVERIFY(out.requestNextPage);

    // The same page completing again (another frame) adds nothing and ends the search.
    std::vector<std::string> listed;
    for (const auto& r : out.rows) listed.push_back(r.address);
    p.existing = listed;
    p.countLabelInitial = false;
    p.captionHasIp = true;
    const ResultPageOutput again = parse(p, out.state);
    QVERIFY(again.rows.empty());
    QVERIFY(!again.requestNextPage && !again.countLabel && !again.captionSuffix);
    QCOMPARE(again.state, out.state);
}

void TestResultPage::flashFixturePage() {
    const FixturePage f = fixturePage("flash_page.txt");
    Page p{f.lines, f.links};
    p.kind = 5;
    p.headerIcon = 5;
    p.countLabelInitial = true;
    const ResultPageOutput out = parse(p);
    // The navigation link 春天 comes first in the document, so it wins for 春天来了; 夏日 has no
    // "[" and so no title; the header line 4 and the last four lines are not read. Every row
    // is a FLASH item and shows the FLASH icon.
    QCOMPARE(described(out.rows), (QStringList{
                                      u"1|5|Flash|http://flash.example.org/top.swf||ash"_s,
                                      u"2|5|春天来了|http://www.baidu.com/spring||html"_s,
                                      u"3|5||||html"_s,
                                      u"4|5|秋风|http://flash.example.org/autumn.swf||html"_s,
                                  }));
    QCOMPARE(out.countLabel, std::optional<std::string>(toGbk(u" 搜索结果  1200"_s)));
    QCOMPARE(out.state.searchRowCount, 4);
    QVERIFY(out.requestNextPage);
}

void TestResultPage::sizeAndType_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("type");
    QTest::newRow("M unit") << "1 SongA SingerX 2.4 Mmp3"
                            << "2.4M"
                            << "mp3";
    QTest::newRow("K unit") << u"3  小城故事  980 Kwma"_s << "980K"
                            << "wma";
    QTest::newRow("K wins over M") << "ab 700 KMP3"
                                   << "700K"
                                   << "MP3";
    QTest::newRow("Mrm") << "x 4.0 Mrm"
                         << "4.0M"
                         << "rm";
    QTest::newRow("Krm, short line") << "  512 Krm  "
                                     << "512K"
                                     << "rm";
    QTest::newRow("no unit letter: no size") << "song 123 mp3"
                                             << ""
                                             << "mp3";
    QTest::newRow("case-sensitive") << "song 2.4 mmp3"
                                    << ""
                                    << "mp3";
    QTest::newRow("unit outside last 8") << "M song 12345 mp3"
                                         << ""
                                         << "mp3";
    QTest::newRow("short line") << "2M"
                                << "2MM"
                                << "2M";
    QTest::newRow("control bytes trimmed") << "\t\x01 3.0 Mwma \x1f"
                                           << "3.0M"
                                           << "wma";
    QTest::newRow("empty line") << ""
                                << ""
                                << "";
}

void TestResultPage::sizeAndType() {
    QFETCH(QString, line);
    QFETCH(QString, size);
    QFETCH(QString, type);
    // A link without text reads line 0.
    const Page p{{toGbk(line), "other"}, gbkLinks({kPrefix + u"http://f/a|"_s})};
    const ResultPageOutput out = parse(p);
    QCOMPARE(out.rows.size(), std::size_t{1});
    QCOMPARE(out.rows[0].size, toGbk(size));
    QCOMPARE(out.rows[0].type, toGbk(type));
}

void TestResultPage::countLabel_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("initial");
    QTest::addColumn<QString>("label");  // "<none>" when the label stays
    QTest::newRow("marker line") << QStringList{u"abc"_s, u"百度为您找到相关结果1234篇"_s} << true
                                 << u" 搜索结果  1234"_s;
    QTest::newRow("no marker: line 0")
        << QStringList{u"12345678901234567890" "99篇 x"_s, u"y"_s} << true << u" 搜索结果  99"_s;
    QTest::newRow("no 篇") << QStringList{u"百度为您找到相关结果57"_s} << true << u" 搜索结果  "_s;
    QTest::newRow("short count line") << QStringList{u"篇"_s} << true << u" 搜索结果  "_s;
    QTest::newRow("no lines") << QStringList{} << true << u" 搜索结果  "_s;
    QTest::newRow("count already shown")
        << QStringList{u"百度为您找到相关结果57篇"_s} << false << u"<none>"_s;
}

void TestResultPage::countLabel() {
    QFETCH(QStringList, lines);
    QFETCH(bool, initial);
    QFETCH(QString, label);
    Page p{gbkLines(lines), {}};
    p.countLabelInitial = initial;
    const ResultPageOutput out = parse(p);
    if (label == u"<none>")
        QVERIFY(!out.countLabel);
    else
        QCOMPARE(out.countLabel, std::optional<std::string>(toGbk(label)));
}

void TestResultPage::linkPass_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QStringList>("rows");
    const QStringList lines{u"head"_s, u"1 甲 1.0 Mmp3"_s, u"2 乙 2.0 Mwma"_s,
                            u"3 甲乙 3.0 Kasf"_s};
    QTest::newRow("duplicate on the same page")
        << lines << QStringList{kPrefix + u"a|甲"_s, kPrefix + u"a|乙"_s, kPrefix + u"b|乙"_s}
        << QStringList{} << QStringList{u"1|0|甲|a|1.0M|mp3"_s, u"2|0|乙|b|2.0M|wma"_s};
    QTest::newRow("address already listed, numbered on")
        << lines << QStringList{kPrefix + u"a|甲"_s, kPrefix + u"c|甲乙"_s}
        << QStringList{u"x"_s, u"a"_s} << QStringList{u"3|0|甲乙|c|3.0K|asf"_s};
    // Each link's text is looked for from just after the previous row's: two links with one
    // text get a line each.
    const QStringList twice{u"0 head 9.9 Kram"_s, u"1 甲 1.0 Mmp3"_s, u"2 甲 2.0 Mwma"_s};
    QTest::newRow("same text twice, a line each")
        << twice << QStringList{kPrefix + u"a|甲"_s, kPrefix + u"b|甲"_s} << QStringList{}
        << QStringList{u"1|0|甲|a|1.0M|mp3"_s, u"2|0|甲|b|2.0M|wma"_s};
    QTest::newRow("same text, the next line holding it inside a longer title")
        << lines << QStringList{kPrefix + u"a|乙"_s, kPrefix + u"b|乙"_s} << QStringList{}
        << QStringList{u"1|0|乙|a|2.0M|wma"_s, u"2|0|乙|b|3.0K|asf"_s};
    QTest::newRow("text only before the previous row's: its first line")
        << lines << QStringList{kPrefix + u"a|乙"_s, kPrefix + u"b|1 甲"_s} << QStringList{}
        << QStringList{u"1|0|乙|a|2.0M|wma"_s, u"2|0|1 甲|b|1.0M|mp3"_s};
    QTest::newRow("a link without text keeps the search where it was")
        << twice << QStringList{kPrefix + u"a|甲"_s, kPrefix + u"b|"_s, kPrefix + u"c|甲"_s}
        << QStringList{}
        << QStringList{u"1|0|甲|a|1.0M|mp3"_s, u"2|0||b|9.9K|ram"_s, u"3|0|甲|c|2.0M|wma"_s};
    QTest::newRow("two texts on one line share it")
        << QStringList{u"1 甲 乙 1.0 Mmp3"_s, u"2 乙 2.0 Kwma"_s}
        << QStringList{kPrefix + u"a|甲"_s, kPrefix + u"b|乙"_s} << QStringList{}
        << QStringList{u"1|0|甲|a|1.0M|mp3"_s, u"2|0|乙|b|1.0M|mp3"_s};
    QTest::newRow("text not on the page: line 0")
        << QStringList{u"0 head 9.9 Kram"_s, u"x"_s} << QStringList{kPrefix + u"a|丙"_s}
        << QStringList{} << QStringList{u"1|0|丙|a|9.9K|ram"_s};
    QTest::newRow("non-result links ignored")
        << lines
        << QStringList{u"http://mp3.baidu.com/m?x|甲"_s, u"http://www.baidu.com/r?url=a|甲"_s,
                       u"http://mp3.baidu.com/r?url|甲"_s}
        << QStringList{} << QStringList{};
    QTest::newRow("prefix inside the href: first 27 bytes cut")
        << lines << QStringList{u"go:"_s + kPrefix + u"a|甲"_s} << QStringList{}
        << QStringList{u"1|0|甲|rl=a|1.0M|mp3"_s};
    QTest::newRow("bare prefix: empty address")
        << lines << QStringList{kPrefix + u"|甲"_s} << QStringList{}
        << QStringList{u"1|0|甲||1.0M|mp3"_s};
    QTest::newRow("text spanning a line break")
        << lines << QStringList{kPrefix + u"a|mp3\r\n2"_s} << QStringList{}
        << QStringList{u"1|0|mp3\r\n2|a|1.0M|mp3"_s};
}

void TestResultPage::linkPass() {
    QFETCH(QStringList, lines);
    QFETCH(QStringList, links);
    QFETCH(QStringList, existing);
    QFETCH(QStringList, rows);
    const Page p{gbkLines(lines), gbkLinks(links), gbkLines(existing)};
    QCOMPARE(described(parse(p).rows), rows);
}

void TestResultPage::localIp_data() {
    QTest::addColumn<QStringList>("hrefs");
    QTest::addColumn<QString>("known");
    QTest::addColumn<QString>("learned");
    const QString m = QStringLiteral("http://mp3.baidu.com/m?lm=0&tn=baidump3");
    QTest::newRow("ip then cl") << QStringList{m + u"&ip=1.2.3.4&cl=3"_s} << ""
                                << "1.2.3.4";
    QTest::newRow("cl before ip, later link tried")
        << QStringList{m + u"&cl=3&ip=9.9.9.9"_s, m + u"&ip=5.6.7.8&z=0&cl=3"_s} << ""
        << "5.6.7.8&z=0";
    QTest::newRow("no cl") << QStringList{m + u"&ip=1.2.3.4"_s} << ""
                           << "";
    QTest::newRow("empty ip") << QStringList{m + u"&ip=&cl=3"_s} << ""
                              << "";
    QTest::newRow("other host") << QStringList{u"http://www.baidu.com/m?lm=0&ip=1.1.1.1&cl="_s}
                                << ""
                                << "";
    QTest::newRow("first link wins")
        << QStringList{m + u"&ip=1.1.1.1&cl="_s, m + u"&ip=2.2.2.2&cl="_s} << ""
        << "1.1.1.1";
    QTest::newRow("never changed once known") << QStringList{m + u"&ip=1.1.1.1&cl="_s} << "7.7.7.7"
                                              << "7.7.7.7";
}

void TestResultPage::localIp() {
    QFETCH(QStringList, hrefs);
    QFETCH(QString, known);
    QFETCH(QString, learned);
    QStringList links;
    for (const auto& h : hrefs) links << h + u"|x"_s;
    const Page p{{"x"}, gbkLinks(links)};
    const ResultPageOutput out = parse(p, SearchState{1, 0, false, known.toStdString()});
    QCOMPARE(out.state.localIp, learned.toStdString());
    if (learned.isEmpty())
        QVERIFY(!out.captionSuffix);
    else
        QCOMPARE(out.captionSuffix,
                 std::optional<std::string>(toGbk(u"   本机ip为:  "_s + learned)));

    Page shown = p;
    shown.captionHasIp = true;
    QVERIFY(!parse(shown, SearchState{1, 0, false, known.toStdString()}).captionSuffix);
}

void TestResultPage::flashTextPass_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("row");
    QTest::newRow("14 lines: no pass") << 14 << 10 << 5 << false;
    QTest::newRow("15 lines, line 10") << 15 << 10 << 5 << true;
    QTest::newRow("line 9 never read") << 30 << 9 << 5 << false;
    QTest::newRow("Count-5 read") << 30 << 25 << 5 << true;
    QTest::newRow("Count-4 never read") << 30 << 26 << 5 << false;
    QTest::newRow("not FLASH") << 30 << 12 << 0 << false;
}

void TestResultPage::flashTextPass() {
    QFETCH(int, count);
    QFETCH(int, line);
    QFETCH(int, kind);
    QFETCH(bool, row);
    QStringList lines;
    for (int i = 0; i < count; ++i) lines << u"line"_s;
    lines[line] = u"  Clip[swf] 作者:a 大小:1M"_s;
    Page p{gbkLines(lines), gbkLinks({u"http://x/nav|Cl"_s, u"http://x/clip|Clip"_s})};
    p.kind = kind;
    const ResultPageOutput out = parse(p);
    QCOMPARE(described(out.rows),
             row ? QStringList{u"1|5|Clip|http://x/nav||html"_s} : QStringList{});
    QCOMPARE(out.requestNextPage, row);
}

void TestResultPage::continueOrFinish_data() {
    QTest::addColumn<bool>("appends");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<int>("existing");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<bool>("next");
    QTest::newRow("rows, running") << true << false << 0 << 0 << true;
    QTest::newRow("rows, stopped") << true << true << 0 << 0 << false;
    QTest::newRow("no rows") << false << false << 30 << 30 << false;
    // A list request cleared the list while the row count stayed: still nothing new.
    QTest::newRow("no rows, list cleared meanwhile") << false << false << 0 << 50 << false;
    // List entries were appended meanwhile: the page's own rows still count.
    QTest::newRow("rows after list entries") << true << false << 40 << 10 << true;
}

void TestResultPage::continueOrFinish() {
    QFETCH(bool, appends);
    QFETCH(bool, stopped);
    QFETCH(int, existing);
    QFETCH(int, rowCount);
    QFETCH(bool, next);
    Page p{{"a 1.0 Mmp3"}, appends ? gbkLinks({kPrefix + u"new|a"_s}) : std::vector<PageLink>{}};
    p.existing.assign(static_cast<std::size_t>(existing), "old");
    const ResultPageOutput out = parse(p, SearchState{3, rowCount, stopped, ""});
    QCOMPARE(out.requestNextPage, next);
    QCOMPARE(out.state.searchPage, next ? 4 : 3);
    QCOMPARE(out.state.searchRowCount, rowCount + (appends ? 1 : 0));
    if (appends) QCOMPARE(out.rows[0].caption, std::to_string(existing + 1));
}

void TestResultPage::localService() {
    const Hosts local = hostsOnOne("127.0.0.1:8360");
    const Page p{{"1 a 2.0 Mmp3"},
                 gbkLinks({u"http://127.0.0.1:8360/m?lm=0&ip=127.0.0.1&cl=3|2"_s,
                           u"http://127.0.0.1:8360/r?url=http://127.0.0.1:8360/f/a.mp3|a"_s,
                           u"http://mp3.baidu.com/r?url=http://elsewhere/b.mp3|a"_s})};
    const ResultPageOutput out = parse(p, SearchState{1, 0, false, ""}, local);
    QCOMPARE(described(out.rows), QStringList{u"1|0|a|http://127.0.0.1:8360/f/a.mp3|2.0M|mp3"_s});
    QCOMPARE(out.state.localIp, std::string("127.0.0.1"));
}

void TestResultPage::listPage_data() {
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<int>("before");
    QTest::addColumn<QStringList>("entries");  // "caption|title|address"
    const QString main =
        QStringLiteral("http://www.baidu.com/m?rn=&tn=baidump3&ct=134217728&word=");
    const QString album = QStringLiteral("http://mp3.baidu.com/m?tn=baidump3&ct=134217728&word=");
    QTest::newRow("chart") << QStringList{main + u"%C1%F5|刘德华"_s,
                                          u"http://www.baidu.com/|首页"_s}
                           << 0 << QStringList{u"1|刘德华|tn=baidump3&ct=134217728&word=%C1%F5"_s};
    QTest::newRow("album needs &f=al")
        << QStringList{album + u"x&f=al|专辑一"_s, album + u"y|不是专辑"_s} << 0
        << QStringList{u"1|专辑一|aidump3&ct=134217728&word=x&f=al"_s};
    QTest::newRow("singers, numbered on")
        << QStringList{u"http://music.baidu.com/singer/a.html|歌手甲"_s, u"|空"_s} << 7
        << QStringList{u"8|歌手甲|er/a.html"_s};
    QTest::newRow("two classes, two entries")
        << QStringList{main + u"q&u=http://music.baidu.com/singer/|双"_s} << 0
        << QStringList{u"1|双|tn=baidump3&ct=134217728&word=q&u=http://music.baidu.com/singer/"_s,
                       u"2|双|tn=baidump3&ct=134217728&word=q&u=http://music.baidu.com/singer/"_s};
}

void TestResultPage::listPage() {
    QFETCH(QStringList, links);
    QFETCH(int, before);
    QFETCH(QStringList, entries);
    const auto pageLinks = gbkLinks(links);
    QStringList got;
    for (const auto& e : readListPage(Hosts{}, pageLinks, static_cast<std::size_t>(before)))
        got << fromGbk(e.caption + "|" + e.title + "|" + e.address);
    QCOMPARE(got, entries);
}

QTEST_GUILESS_MAIN(TestResultPage)
#include "test_resultpage.moc"
