// The music catalogues as engines, on answers alone: the addresses they ask for, the JSON they
// mend or refuse, the Internet Archive's items and files (strings or arrays, sizes as strings,
// derivatives and originals, restricted items, names that need encoding), ccMixter's uploads,
// and the order item rows are handed on in.
#include <QtTest>

#include "search/archiveengine.h"
#include "search/catalogueaddress.h"
#include "search/cataloguejson.h"
#include "search/cataloguetext.h"
#include "search/ccmixterengine.h"
#include "search/itemorder.h"

using namespace melorin::search;
using melorin::core::SongRow;
using namespace Qt::StringLiterals;

namespace {

const std::string kArchive = "http://ia.test";
const std::string kMixter = "http://cc.test";

// A row as "title|address|size|type", the way the tables expect them.
QStringList rowTexts(const std::vector<SongRow>& rows) {
    QStringList out;
    for (const SongRow& r : rows) {
        out << QString::fromStdString(r.title + "|" + r.address + "|" + r.size + "|" + r.type);
    }
    return out;
}

ListContext mp3List() {
    ListContext list;
    list.kindIndex = 0;
    list.headerIcon = 0;
    return list;
}

// One file of an item's metadata answer.
QByteArray file(const char* name, const char* format, const char* extra = "") {
    return QByteArray("{\"name\":\"") + name + "\",\"format\":\"" + format + "\"" + extra + "}";
}

QByteArray metadata(const QList<QByteArray>& files, const QByteArray& meta = "\"creator\":\"C\"",
                    const QByteArray& top = "") {
    return "{" + top + "\"files\":[" + files.join(',') + "],\"metadata\":{" + meta + "}}";
}

}  // namespace

class TestCatalogues : public QObject {
    Q_OBJECT
private slots:
    void mendedJson_data();
    void mendedJson();
    void fieldsOfEitherShape();
    void fileAddresses_data();
    void fileAddresses();
    void sizes_data();
    void sizes();
    void requests_data();
    void requests();
    void archiveItems_data();
    void archiveItems();
    void archivePages_data();
    void archivePages();
    void ccmixterPages_data();
    void ccmixterPages();
    void itemRowsKeepThePageOrder();
};

void TestCatalogues::mendedJson_data() {
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QByteArray>("mended");
    QTest::newRow("valid stays") << QByteArray(R"({"a":[1,-2.5e3,0,"x\n0"],"b":true})")
                                 << QByteArray(R"({"a":[1,-2.5e3,0,"x\n0"],"b":true})");
    QTest::newRow("leading zeros") << QByteArray(R"({"n":007, "m":-00.5,"z":[0,00]})")
                                   << QByteArray(R"({"n":7, "m":-0.5,"z":[0,0]})");
    QTest::newRow("zeros in strings and names stay") << QByteArray(R"({"a007":"007","b":"\"007"})")
                                                     << QByteArray(R"({"a007":"007","b":"\"007"})");
    QTest::newRow("raw control characters in a string")
        << QByteArray("{\"d\":\"a\nb\tc\r\x01\"}") << QByteArray(R"({"d":"a\nb\tc\r\u0001"})");
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[1]") << QByteArray("[1]");
    QTest::newRow("invalid UTF-8")
        << QByteArray("[\"a\xFF\"]") << QByteArray("[\"a\xEF\xBF\xBD\"]");
}

void TestCatalogues::mendedJson() {
    QFETCH(QByteArray, raw);
    QFETCH(QByteArray, mended);
    QCOMPARE(QByteArray::fromStdString(melorin::search::mendedJson(raw.toStdString())), mended);
    QVERIFY(readJson(raw.toStdString()).has_value());
}

void TestCatalogues::fieldsOfEitherShape() {
    const QJsonObject o = QJsonDocument::fromJson(R"({"s":" 甲 ","a":["甲","",["x"],"乙"],
        "n":8419768,"ns":"8419768","bad":"12a","neg":-1,"t":"TRUE","one":1,"f":"false"})")
                              .object();
    QCOMPARE(jsonText(o[u"s"]), "甲");
    QCOMPARE(jsonText(o[u"a"]), "甲, 乙");
    QCOMPARE(jsonText(o[u"n"]), "8419768");
    QCOMPARE(jsonText(o[u"missing"]), "");
    QCOMPARE(jsonCount(o[u"n"]), 8419768);
    QCOMPARE(jsonCount(o[u"ns"]), 8419768);
    QCOMPARE(jsonCount(o[u"bad"]), -1);
    QCOMPARE(jsonCount(o[u"neg"]), -1);
    QVERIFY(jsonTrue(o[u"t"]) && jsonTrue(o[u"one"]));
    QVERIFY(!jsonTrue(o[u"f"]) && !jsonTrue(o[u"missing"]));
    // What no mending makes JSON is refused.
    for (const char* refused :
         {"<html><body>Service Unavailable</body></html>", "[{\"a\":1}", "", "null", "\"text\""}) {
        QVERIFY2(!readJson(refused), refused);
    }
}

void TestCatalogues::fileAddresses_data() {
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("wire");  // empty: refused
    QTest::newRow("blanks and Chinese") << "http://h/content/u/u - 月下.mp3"
                                        << "http://h/content/u/u%20-%20%E6%9C%88%E4%B8%8B.mp3";
    QTest::newRow("# and ? are part of a raw name") << "https://h:8443/a #1?.mp3"
                                                    << "https://h:8443/a%20%231%3F.mp3";
    QTest::newRow("escapes kept, a lone % encoded") << "http://h/a%20b/100% c.mp3"
                                                    << "http://h/a%20b/100%25%20c.mp3";
    QTest::newRow("scheme in capitals") << "HTTP://h/x.mp3"
                                        << "http://h/x.mp3";
    QTest::newRow("no path") << "http://h"
                             << "http://h/";
    QTest::newRow("ftp") << "ftp://h/x.mp3"
                         << "";
    QTest::newRow("local file") << "file:///etc/passwd"
                                << "";
    QTest::newRow("user name") << "http://me@h/x.mp3"
                               << "";
    QTest::newRow("no host") << "http:///x.mp3"
                             << "";
    QTest::newRow("script") << "javascript:alert(1)"
                            << "";
}

void TestCatalogues::fileAddresses() {
    QFETCH(QString, raw);
    QFETCH(QString, wire);
    const auto out = wireFileAddress(raw.toStdString());
    QCOMPARE(out ? QString::fromStdString(*out) : QString(), wire);
    // Item file names: every segment on its own.
    QCOMPARE(encodePath("第二面/夜曲 (live).mp3"),
             "%E7%AC%AC%E4%BA%8C%E9%9D%A2/%E5%A4%9C%E6%9B%B2%20%28live%29.mp3");
}

void TestCatalogues::sizes_data() {
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << qint64(-1) << "";
    QTest::newRow("empty file") << qint64(0) << "0K";
    QTest::newRow("a few bytes") << qint64(100) << "1K";
    QTest::newRow("kilobytes") << qint64(524288) << "512K";
    QTest::newRow("one megabyte") << qint64(1048576) << "1.0M";
    QTest::newRow("rounds up to the next unit") << qint64(2044724) << "2.0M";
    QTest::newRow("ccMixter's example") << qint64(11150278) << "10.6M";
}

void TestCatalogues::sizes() {
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(sizeText(bytes)), text);
}

void TestCatalogues::requests_data() {
    QTest::addColumn<bool>("archive");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("page");  // 1: the search button; more: the next page of such
    QTest::addColumn<int>("rowsBefore");
    QTest::addColumn<QString>("address");  // empty: none
    QTest::addColumn<QString>("status");

    const QString archiveFirst = QString::fromStdString(
        kArchive +
        "/advancedsearch.php?q=%28title%3A%28%E6%9C%88%E4%B8%8B%20%E5%90%AC%E9%A3%8E%29%20OR%20"
        "creator%3A%28%E6%9C%88%E4%B8%8B%20%E5%90%AC%E9%A3%8E%29%29%20AND%20mediatype%3Aaudio"
        "&fl%5B%5D=identifier%2Ctitle%2Ccreator&rows=50&page=1&output=json");
    QTest::newRow("archive, UTF-8 text trimmed")
        << true << " 月下 听风 " << 0 << 1 << 0 << archiveFirst << "";
    QTest::newRow("archive, query characters escaped")
        << true << "a:b (c)" << 0 << 1 << 0
        << QString::fromStdString(
               kArchive +
               "/advancedsearch.php?q=%28title%3A%28a%5C%3Ab%20%5C%28c%5C%29%29%20OR%20creator%3A%"
               "28"
               "a%5C%3Ab%20%5C%28c%5C%29%29%29%20AND%20mediatype%3Aaudio"
               "&fl%5B%5D=identifier%2Ctitle%2Ccreator&rows=50&page=1&output=json")
        << "";
    QTest::newRow("ccMixter, first page")
        << false << "月下 听风" << 0 << 1 << 0
        << QString::fromStdString(kMixter +
                                  "/api/query?f=json&search=%E6%9C%88%E4%B8%8B%20%E5%90%AC%E9%A3%8E"
                                  "&limit=30&offset=0")
        << "";
    QTest::newRow("ccMixter, third page")
        << false << "ab" << 0 << 3 << 60
        << QString::fromStdString(kMixter + "/api/query?f=json&search=ab&limit=30&offset=60") << "";
    QTest::newRow("a kind the catalogue lacks") << true << "ab" << 2 << 1 << 0 << ""
                                                << "互联网档案馆只提供MP3文件，没有WMA格式的文件";
    QTest::newRow("FLASH") << false << "ab" << 5 << 1 << 0 << ""
                           << "ccMixter只提供MP3文件，没有FLASH格式的文件";
    QTest::newRow("a full list pages no further") << false << "ab" << 0 << 21 << 600 << ""
                                                  << "";
}

void TestCatalogues::requests() {
    QFETCH(bool, archive);
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(int, page);
    QFETCH(int, rowsBefore);
    QFETCH(QString, address);
    QFETCH(QString, status);
    const ArchiveEngine ia(kArchive + "/");
    const CcMixterEngine cc(kMixter);
    const CatalogueEngine& engine = archive ? static_cast<const CatalogueEngine&>(ia) : cc;
    SearchState state;
    state.searchPage = page;
    state.searchRowCount = rowsBefore;
    const Request r = page == 1 ? engine.search(state, text.toStdString(), kind)
                                : engine.nextPage(state, text.toStdString(), kind);
    QCOMPARE(r.address ? QString::fromStdString(*r.address) : QString(), address);
    QCOMPARE(r.statusLine ? QString::fromStdString(*r.statusLine) : QString(), status);
    if (page == 1) {
        QVERIFY(r.clearList && r.resetCountLabel);
        QCOMPARE(r.state.searchPage, 1);
        QCOMPARE(r.headerIcon, std::optional<int>(kind));
    }
    // A blank text only asks for the search box.
    const Request blank = engine.search(state, " \t", 0);
    QVERIFY(blank.focusSearchBox && !blank.clearList && !blank.address);
}

void TestCatalogues::archiveItems_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("rows");
    const QString dl = QString::fromStdString(kArchive) + QStringLiteral("/download/item%201/");
    const QByteArray flac = file("01 T.flac", "Flac", R"(,"source":"original","title":"月下")");
    QTest::newRow("derivatives of one original: VBR first")
        << metadata({flac,
                     file("01 T_64kb.mp3", "64Kbps MP3",
                          R"(,"source":"derivative","original":"01 T.flac","size":"1048576")"),
                     file("01 T.mp3", "VBR MP3",
                          R"(,"source":"derivative","original":"01 T.flac","size":"3145728")")})
        << QStringList{QStringLiteral("月下 - C|") + dl + QStringLiteral("01%20T.mp3|3.0M|mp3")};
    QTest::newRow("then the highest rate; an MP3 original counts as one")
        << metadata(
               {file("a.mp3", "128Kbps MP3", R"(,"source":"original","title":"A")"),
                file("a_64kb.mp3", "64Kbps MP3", R"(,"source":"derivative","original":"a.mp3")"),
                file("a_vbr_of_64.mp3", "MP3",
                     R"(,"source":"derivative","original":"a_64kb.mp3")")})
        << QStringList{QStringLiteral("A - C|") + dl + QStringLiteral("a.mp3||mp3")};
    QTest::newRow("two originals in the listed order, creators as an array")
        << metadata({file("b.mp3", "VBR MP3", R"(,"title":"B")"),
                     file("a.mp3", "VBR MP3", R"(,"title":"A")")},
                    R"("creator":["甲","乙"])")
        << QStringList{QStringLiteral("B - 甲, 乙|") + dl + QStringLiteral("b.mp3||mp3"),
                       QStringLiteral("A - 甲, 乙|") + dl + QStringLiteral("a.mp3||mp3")};
    QTest::newRow("no creator: the search page's; no title: the name")
        << metadata({file("dir/Track 7.mp3", "VBR MP3", R"(,"size":"700000")")}, R"("title":"x")")
        << QStringList{QStringLiteral("Track 7 - 页上的作者|") + dl +
                       QStringLiteral("dir/Track%207.mp3|684K|mp3")};
    QTest::newRow("names that need encoding")
        << metadata({file("A side #1?.mp3", "VBR MP3", R"(,"title":"A")"),
                     file("100% 纯.mp3", "VBR MP3", R"(,"title":"P")")})
        << QStringList{
               QStringLiteral("A - C|") + dl + QStringLiteral("A%20side%20%231%3F.mp3||mp3"),
               QStringLiteral("P - C|") + dl + QStringLiteral("100%25%20%E7%BA%AF.mp3||mp3")};
    QTest::newRow("formats other than MP3, and private files")
        << metadata({flac, file("x.ogg", "Ogg Vorbis"), file("c.jpg", "JPEG"),
                     file("p.mp3", "VBR MP3", R"(,"private":"true")")})
        << QStringList{};
    QTest::newRow("access-restricted item")
        << metadata({file("a.mp3", "VBR MP3")}, R"("access-restricted-item":"true")")
        << QStringList{};
    QTest::newRow("dark item") << metadata({file("a.mp3", "VBR MP3")}, "", R"("is_dark":true,)")
                               << QStringList{};
    QTest::newRow("unknown item") << QByteArray("{}") << QStringList{};
}

void TestCatalogues::archiveItems() {
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, rows);
    const ArchiveEngine ia(kArchive);
    const ItemRef item{"", "item 1", "页上的标题", "页上的作者"};
    const std::string body = answer.toStdString();
    const ItemReading read = ia.readItem(item, {body}, mp3List());
    QVERIFY(read.readable);
    QCOMPARE(rowTexts(read.rows), rows);
    // A row already listed is not listed again.
    std::unordered_set<std::string> known;
    for (const SongRow& r : read.rows) known.insert(r.address);
    ListContext list = mp3List();
    list.knownAddresses = &known;
    QVERIFY(ia.readItem(item, {body}, list).rows.empty());
    QVERIFY(!ia.readItem(item, {std::string_view("<html>")}, list).readable);
}

void TestCatalogues::archivePages_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("page");
    QTest::addColumn<QStringList>("items");  // "id|title|creator|address"
    QTest::addColumn<QString>("count");
    QTest::addColumn<bool>("next");
    QTest::addColumn<bool>("failed");
    const QByteArray two = R"("docs":[{"identifier":"a b","title":"T","creator":["甲","乙"]},
                                       {"title":"no identifier"},{"identifier":"c","title":["U"]}])";
    const QStringList twoItems{
        QStringLiteral("a b|T|甲, 乙|") + QString::fromStdString(kArchive) +
            QStringLiteral("/metadata/a%20b"),
        QStringLiteral("c|U||") + QString::fromStdString(kArchive) + QStringLiteral("/metadata/c")};
    QTest::newRow("first of several pages")
        << ("{\"responseHeader\":{\"status\":0},\"response\":{\"numFound\":120,\"start\":0," + two +
            "}}")
        << 1 << twoItems << " 搜索结果  120" << true << false;
    QTest::newRow("the last page")
        << ("{\"response\":{\"numFound\":\"52\",\"start\":50," + two + "}}") << 2 << twoItems
        << " 搜索结果  52" << false << false;
    QTest::newRow("an empty page")
        << QByteArray(R"({"response":{"numFound":0,"start":0,"docs":[]}})") << 1 << QStringList{}
        << " 搜索结果  0" << false << false;
    QTest::newRow("an error answer")
        << QByteArray(R"({"error":"bad query"})") << 1 << QStringList{} << "" << false << true;
    QTest::newRow("not JSON") << QByteArray("<html>busy</html>") << 1 << QStringList{} << ""
                              << false << true;
}

void TestCatalogues::archivePages() {
    QFETCH(QByteArray, answer);
    QFETCH(int, page);
    QFETCH(QStringList, items);
    QFETCH(QString, count);
    QFETCH(bool, next);
    QFETCH(bool, failed);
    const ArchiveEngine ia(kArchive);
    SearchState state;
    state.searchPage = page;
    const std::string body = answer.toStdString();
    const PageReading r = ia.readPage(state, {body}, mp3List());
    QStringList got;
    for (const ItemRef& i : r.items) {
        got << QString::fromStdString(i.id + "|" + i.title + "|" + i.creator + "|" + i.address);
    }
    QCOMPARE(got, items);
    QCOMPARE(r.page.countLabel ? QString::fromStdString(*r.page.countLabel) : QString(), count);
    QCOMPARE(r.page.requestNextPage, next);
    QCOMPARE(r.page.state.searchPage, next ? page + 1 : page);
    QCOMPARE(r.failure.has_value(), failed);
    if (failed) QCOMPARE(*r.failure, "互联网档案馆的回答无法读取，搜索结束");
}

void TestCatalogues::ccmixterPages_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<bool>("next");
    QTest::addColumn<bool>("failed");
    const QByteArray upload =
        R"({"upload_name":"Test Music","user_name":"tu","user_real_name":"Test User","files":[
            {"download_url":"https://cc.test/content/tu/tu - Test_Music.mp3","file_rawsize":11150278,
             "file_format_info":{"media-type":"audio","default-ext":"mp3","mime_type":"audio/mpeg"}},
            {"download_url":"https://cc.test/content/tu/stems.zip","file_rawsize":900,
             "file_format_info":{"default-ext":"zip","mime_type":"application/zip"}}]})";
    const QString testRow = QStringLiteral(
        "Test Music - Test User|https://cc.test/content/tu/tu%20-%20Test_Music.mp3|10.6M|mp3");
    QTest::newRow("MP3 kept, stems left out")
        << ("[" + upload + "]") << QStringList{testRow} << true << false;
    QTest::newRow("the user name without a real name; type from the MIME type")
        << QByteArray(R"([{"upload_name":"歌","user_name":"阿木","files":[{"download_url":
            "http://cc.test/a.mp3","file_format_info":{"mime_type":"audio/mpeg"}}]}])")
        << QStringList{QStringLiteral("歌 - 阿木|http://cc.test/a.mp3||mp3")} << true << false;
    QTest::newRow("leading zeros and raw control characters are read")
        << QByteArray(
               "[{\"upload_name\":\"Q\",\"upload_num_scores\":007,\"upload_description\":"
               "\"one\ntwo\t\",\"user_name\":\"u\",\"files\":[{\"download_url\":"
               "\"http://cc.test/q.mp3\",\"file_rawsize\":0100,\"file_format_info\":"
               "{\"default-ext\":\"mp3\"}}]}]")
        << QStringList{QStringLiteral("Q - u|http://cc.test/q.mp3|1K|mp3")} << true << false;
    QTest::newRow("addresses that are no web address, and one twice")
        << QByteArray(R"([{"upload_name":"X","files":[
            {"download_url":"file:///etc/passwd","file_format_info":{"default-ext":"mp3"}},
            {"download_url":"http://cc.test/x.mp3","file_format_info":{"default-ext":"mp3"}},
            {"download_url":"http://cc.test/x.mp3","file_format_info":{"default-ext":"mp3"}}]}])")
        << QStringList{QStringLiteral("X|http://cc.test/x.mp3||mp3")} << true << false;
    QTest::newRow("past the end") << QByteArray("[]") << QStringList{} << false << false;
    QTest::newRow("uploads without MP3s end it too")
        << QByteArray(R"([{"upload_name":"Z","files":[]}])") << QStringList{} << false << false;
    QTest::newRow("a web page") << QByteArray("<html><body>Service Unavailable</body></html>")
                                << QStringList{} << false << true;
    QTest::newRow("cut off") << ("[" + upload.left(80)) << QStringList{} << false << true;
    QTest::newRow("an object, not a list")
        << QByteArray(R"({"error":"x"})") << QStringList{} << false << true;
}

void TestCatalogues::ccmixterPages() {
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, rows);
    QFETCH(bool, next);
    QFETCH(bool, failed);
    const CcMixterEngine cc(kMixter);
    SearchState state;
    state.searchPage = 2;
    state.searchRowCount = 30;
    ListContext list = mp3List();
    list.rowsBefore = 30;
    const std::string body = answer.toStdString();
    const PageReading r = cc.readPage(state, {body}, list);
    QCOMPARE(rowTexts(r.page.rows), rows);
    if (!r.page.rows.empty()) QCOMPARE(r.page.rows.front().caption, "31");
    QCOMPARE(r.page.requestNextPage, next);
    QCOMPARE(r.page.state.searchRowCount, 30 + static_cast<int>(rows.size()));
    QCOMPARE(r.failure.has_value(), failed);
    if (failed) QCOMPARE(*r.failure, "ccMixter的回答无法读取，搜索结束");
    QVERIFY(!r.page.countLabel);
}

void TestCatalogues::itemRowsKeepThePageOrder() {
    const auto row = [](const char* title) {
        return SongRow{melorin::core::RowShape::File, "", 0, title, title, "", "mp3"};
    };
    ItemOrder order(4);
    order.put(2, {row("c1"), row("c2")});
    order.put(0, {});
    QCOMPARE(rowTexts(order.takeReady()), QStringList{});  // item 1 is still out
    QVERIFY(order.anyRows());
    order.put(1, {row("b")});
    order.put(1, {row("again")});  // a second answer for an item counts for nothing
    QCOMPARE(rowTexts(order.takeReady()),
             (QStringList{u"b|b||mp3"_s, u"c1|c1||mp3"_s, u"c2|c2||mp3"_s}));
    QVERIFY(!order.complete());
    order.put(3, {row("d")});
    order.put(9, {row("out of range")});
    QCOMPARE(rowTexts(order.takeReady()), QStringList{u"d|d||mp3"_s});
    QVERIFY(order.complete());
    QCOMPARE(order.arrived(), std::size_t{4});
    QVERIFY(!ItemOrder(1).anyRows());
}

QTEST_GUILESS_MAIN(TestCatalogues)
#include "test_catalogues.moc"
