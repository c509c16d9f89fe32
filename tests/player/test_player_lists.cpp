// The play list's rules and its two file formats: the add action, the player kind, the room
// of the list view, the load rules, save -> load round trips, the proposed name, the dialog
// filters, and how the player reads lists back.
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include "core/songrow.h"
#include "player/entrylist.h"
#include "player/pageobjects.h"
#include "player/playlist.h"
#include "player/playlistfile.h"

using namespace melorin;
using namespace Qt::StringLiterals;
using namespace melorin::player;
using core::SongRow;

namespace {

// Rows from a compact shorthand: a type ("mp3", "RM", ...) is a file row of that type, "L" a chart
// entry, "F" a line read from a file. Rows are numbered in shorthand order from `first`.
std::vector<SongRow> rows(const QString& shorthand, int first = 1) {
    std::vector<SongRow> out;
    int n = first;
    for (const QString& token : shorthand.split(u' ', Qt::SkipEmptyParts)) {
        const std::string no = std::to_string(n++);
        if (token == u"L") {
            out.push_back(core::listEntry(no, "歌手" + no, "m?word=" + no));
        } else if (token == u"F") {
            out.push_back(core::fileLine("http://h/line" + no + ".mp3"));
        } else {
            const std::string type = token.toStdString();
            out.push_back({core::RowShape::File, no, 0, "歌" + no,
                           "http://h/s01/" + no + "." + type, "3.5 M", type});
        }
    }
    return out;
}

QString typesOf(const std::vector<SongRow>& list) {
    QStringList out;
    for (const SongRow& r : list) out << QString::fromStdString(r.type);
    return out.join(u' ');
}

QStringList captionsOf(const std::vector<SongRow>& list) {
    QStringList out;
    for (const SongRow& r : list) out << QString::fromStdString(r.caption);
    return out;
}

std::vector<SongRow> withAddresses(const QStringList& addresses, const std::string& type) {
    std::vector<SongRow> out;
    for (const QString& a : addresses) {
        out.push_back({core::RowShape::File, "1", 0, "t", a.toStdString(), "1 M", type});
    }
    return out;
}

}  // namespace

class TestPlayerLists : public QObject {
    Q_OBJECT
private slots:
    void addAction_data() {
        QTest::addColumn<QString>("playList");
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("emptiedFirst");
        QTest::addColumn<QString>("added");  // types of the rows both lists receive
        const QString none = QString::fromUtf8(kNothingSelectedMessage.data());
        const QString mismatch = QString::fromUtf8(kTypeMismatchMessage.data());
        QTest::newRow("nothing selected") << "mp3"
                                          << "" << none << false << "";
        QTest::newRow("only chart entries selected") << ""
                                                     << "L L" << none << false << "";
        QTest::newRow("empty list takes any mix") << ""
                                                  << "rm wma mp3"
                                                  << "" << false << "rm wma mp3";
        QTest::newRow("mp3 list takes rm") << "mp3"
                                           << "rm"
                                           << "" << false << "rm";
        QTest::newRow("mp3 list takes wma and others") << "mp3"
                                                       << "wma asf html"
                                                       << "" << false << "wma asf html";
        QTest::newRow("rm list refuses wma first") << "rm"
                                                   << "wma mp3" << mismatch << false << "";
        QTest::newRow("rm list takes mp3 first, wma later") << "rm"
                                                            << "mp3 wma"
                                                            << "" << false << "mp3 wma";
        QTest::newRow("ram list refuses asf") << "ram mp3"
                                              << "asf" << mismatch << false << "";
        QTest::newRow("wma list refuses rm") << "wma"
                                             << "rm" << mismatch << false << "";
        QTest::newRow("asf list refuses ram") << "asf"
                                              << "ram" << mismatch << false << "";
        QTest::newRow("upper-case RM against asf is not refused") << "asf"
                                                                  << "RM"
                                                                  << "" << false << "RM";
        QTest::newRow("rm against RM list is not refused") << "RM"
                                                           << "wma"
                                                           << "" << false << "wma";
        QTest::newRow("chart entries skipped, first file decides")
            << "rm"
            << "L wma" << mismatch << false << "";
        QTest::newRow("chart entries between files skipped") << "rm"
                                                             << "L mp3 L rm"
                                                             << "" << false << "mp3 rm";
        QTest::newRow("rows from a file emptied first") << "F F"
                                                        << "wma"
                                                        << "" << true << "wma";
        QTest::newRow("rows from a file: no type check") << "F"
                                                         << "rm"
                                                         << "" << true << "rm";
        QTest::newRow("rows from a file stay when nothing selected") << "F"
                                                                     << "L" << none << false << "";
    }
    void addAction() {
        QFETCH(QString, playList);
        QFETCH(QString, selection);
        QFETCH(QString, message);
        QFETCH(bool, emptiedFirst);
        QFETCH(QString, added);
        std::vector<SongRow> play = rows(playList, 100);
        const std::vector<SongRow> before = play;
        std::vector<SongRow> card = rows(u"mp3"_s, 900);
        const AddOutcome out = addToPlayList(play, rows(selection));
        QCOMPARE(QString::fromStdString(out.message), message);
        QCOMPARE(out.emptyPlayListFirst, emptiedFirst);
        QCOMPARE(typesOf(out.rows), added);
        applyAdd(out, play, card);
        if (out.refused()) {
            QCOMPARE(play, before);
            QCOMPARE(card.size(), std::size_t{1});
            return;
        }
        // The card list receives exactly the rows the play list receives, after its own.
        const std::vector<SongRow> kept = emptiedFirst ? std::vector<SongRow>{} : before;
        QCOMPARE(play.size(), kept.size() + out.rows.size());
        QVERIFY(std::equal(kept.begin(), kept.end(), play.begin()));
        QVERIFY(std::equal(out.rows.begin(), out.rows.end(), play.begin() + kept.size()));
        QCOMPARE(card.size(), 1 + out.rows.size());
        QVERIFY(std::equal(out.rows.begin(), out.rows.end(), card.begin() + 1));
    }

    void addingTwiceGivesTwoRows() {
        std::vector<SongRow> play;
        std::vector<SongRow> card;
        const std::vector<SongRow> selection = rows(u"mp3"_s);
        applyAdd(addToPlayList(play, selection), play, card);
        applyAdd(addToPlayList(play, selection), play, card);
        QCOMPARE(play.size(), std::size_t{2});
        QCOMPARE(play[0], play[1]);
        QCOMPARE(card, play);
    }

    void playerKind_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("real");
        QTest::newRow("rm") << "rm" << true;
        QTest::newRow("RM") << "RM" << true;
        QTest::newRow("Ram") << "Ram" << true;
        QTest::newRow("mp3") << "mp3" << false;
        QTest::newRow("wma") << "wma" << false;
        QTest::newRow("rmvb") << "rmvb" << false;
        QTest::newRow("html") << "html" << false;
        QTest::newRow("empty") << "" << false;
    }
    void playerKind() {
        QFETCH(QString, type);
        QFETCH(bool, real);
        QCOMPARE(playerKindOf(type.toStdString()) == PlayerKind::Real, real);
        // Only the first row decides.
        std::vector<SongRow> list = rows(type.isEmpty() ? u"x"_s : type + u" wma rm"_s);
        if (type.isEmpty()) list[0].type.clear();
        QCOMPARE(playerKindOf(list) == PlayerKind::Real, real);
    }

    void listViewRoom_data() {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("shrink");
        QTest::addColumn<int>("shown");    // after a page is shown
        QTest::addColumn<int>("cleared");  // after the list is cleared
        QTest::newRow("start height is kept") << 137 << kShrinkRealPage << 137 << 145;
        QTest::newRow("140 gives up room") << 140 << kShrinkRealPage << 70 << 140;
        QTest::newRow("145, Real page") << 145 << kShrinkRealPage << 75 << 145;
        QTest::newRow("145, Windows Media page") << 145 << kShrinkWindowsMediaPage << 70 << 145;
        QTest::newRow("shrunk view") << 75 << kShrinkLoadedFilePage << 75 << 145;
        QTest::newRow("139") << 139 << kShrinkRealPage << 139 << 145;
    }
    void listViewRoom() {
        QFETCH(int, height);
        QFETCH(int, shrink);
        QFETCH(int, shown);
        QFETCH(int, cleared);
        QCOMPARE(heightAfterShowingPage(height, shrink), shown);
        QCOMPARE(heightAfterClear(height), cleared);
    }

    void loadRules_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("captions");
        QTest::newRow("CR LF") << "/l/a.rpm" << QByteArray("x\r\ny\r\n")
                               << QStringList{u"x"_s, u"y"_s};
        QTest::newRow("lone CR") << "/l/a.rpm" << QByteArray("a\rb") << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("lone LF") << "/l/a.rpm" << QByteArray("a\nb\n")
                                 << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("empty lines are rows") << "/l/a.rpm" << QByteArray("a\r\n\r\n\nb\r")
                                              << QStringList{u"a"_s, u""_s, u""_s, u"b"_s};
        QTest::newRow("LF CR is two breaks")
            << "/l/a.rpm" << QByteArray("a\n\rb") << QStringList{u"a"_s, u""_s, u"b"_s};
        QTest::newRow("only a break") << "/l/a.rpm" << QByteArray("\r\n") << QStringList{u""_s};
        QTest::newRow("empty file") << "/l/a.rpm" << QByteArray() << QStringList{};
        QTest::newRow("NUL ends the reading")
            << "/l/a.rpm" << QByteArray("a\r\nb\0c\r\nd", 10) << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("NUL first") << "/l/a.rpm" << QByteArray("\0a\r\n", 4) << QStringList{};
        QTest::newRow("x.RpM is an rpm file")
            << "/l/x.RpM" << QByteArray("u\r\nv") << QStringList{u"u"_s, u"v"_s};
        QTest::newRow("ending rpm without a dot")
            << "/l/xrpm" << QByteArray("u") << QStringList{u"u"_s};
        QTest::newRow("GBK line") << "/l/a.rpm" << QByteArray("\xB8\xE8.mp3\r\n")
                                  << QStringList{u"歌.mp3"_s};
        QTest::newRow("other kind, one line") << "/l/a.asx" << QByteArray("0\r\n") << QStringList{};
        QTest::newRow("other kind, three lines")
            << "/l/a.asx" << QByteArray("0\r\n1\r\n2\r\n") << QStringList{};
        QTest::newRow("other kind, four lines")
            << "/l/a.asx" << QByteArray("0\r\n1\r\n2\r\n3") << QStringList{u"3"_s};
        QTest::newRow("other kind, six lines")
            << "/l/a.asx" << QByteArray("0\n1\n2\n3\n4\n5\n") << QStringList{u"3"_s};
        QTest::newRow("other kind, seven lines")
            << "/l/a.txt" << QByteArray("0\r1\r2\r3\r4\r5\r6\r") << QStringList{u"3"_s, u"6"_s};
        QTest::newRow("other kind, empty file") << "/l/a.asx" << QByteArray() << QStringList{};
        QTest::newRow("rpm then another ending")
            << "/l/a.rpm.asx" << QByteArray("0\r\n1\r\n2\r\n3\r\n") << QStringList{u"3"_s};
        QTest::newRow("other kind, lines unparsed")
            << "/l/a.ASX" << QByteArray("0\r\n1\r\n2\r\n  <ref href = \"a&amp;b\"/>  \r\n")
            << QStringList{u"  <ref href = \"a&amp;b\"/>  "_s};
    }
    void loadRules() {
        QFETCH(QString, path);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, captions);
        const std::vector<SongRow> got =
            loadedRows(bytes.toStdString(), isRpmPath(path.toStdString()));
        QCOMPARE(captionsOf(got), captions);
        for (const SongRow& r : got) {
            QCOMPARE(r.shape, core::RowShape::FileLine);
            QCOMPARE(r.icon, 0);
        }
        // The same through a file on disk.
        QTemporaryDir dir;
        const QString file = dir.path() + path;
        QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        const LoadedFile loaded = readPlayListFile(file.toStdString());
        QVERIFY(loaded.error.empty());
        QCOMPARE(captionsOf(loaded.rows), captions);
    }

    void unreadableFile() {
        const LoadedFile loaded = readPlayListFile("/nonexistent/melorin/list.rpm");
        QVERIFY(loaded.rows.empty());
        QVERIFY(QString::fromStdString(loaded.error).contains(u"/nonexistent/melorin/list.rpm"));
    }

    void saveLoadRoundTrip_data() {
        QTest::addColumn<QString>("firstType");
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QStringList>("captions");  // the rows the saved file loads back as
        const QStringList addresses = {u"http://h/s01/001.rm"_s, u"http://h/歌 曲.mp3?a=1&b=2"_s,
                                       u"http://h/😀.wma"_s};
        QTest::newRow("rpm") << "rm" << addresses
                             << QStringList{u"http://h/s01/001.rm"_s,
                                            u"http://h/歌 曲.mp3?a=1&b=2"_s,
                                            u"http://h/%F0%9F%98%80.wma"_s};
        QTest::newRow("asx") << "wma" << addresses
                             << QStringList{u"<ref href = \"http://h/s01/001.rm\"/>"_s,
                                            u"<ref href = \"http://h/歌 曲.mp3?a=1&amp;b=2\"/>"_s,
                                            u"<ref href = \"http://h/&#128512;.wma\"/>"_s};
        QTest::newRow("one row") << "wma" << QStringList{u"http://h/a.wma"_s}
                                 << QStringList{u"<ref href = \"http://h/a.wma\"/>"_s};
        QTest::newRow("quotes and brackets")
            << "mp3" << QStringList{u"http://h/a\"><b>.mp3"_s}
            << QStringList{u"<ref href = \"http://h/a&quot;&gt;&lt;b&gt;.mp3\"/>"_s};
        QTest::newRow("line break inside an address")
            << "ram" << QStringList{u"http://h/a\r\nb.ram"_s}
            << QStringList{u"http://h/a%0D%0Ab.ram"_s};
        QTest::newRow("NUL inside an address")
            << "ram" << QStringList{u"http://h/a\0b.ram"_s} << QStringList{u"http://h/a%00b.ram"_s};
    }
    void saveLoadRoundTrip() {
        QFETCH(QString, firstType);
        QFETCH(QStringList, addresses);
        QFETCH(QStringList, captions);
        std::vector<SongRow> list = withAddresses(addresses, "mp3");
        list[0].type = firstType.toStdString();
        const bool real = playerKindOf(list) == PlayerKind::Real;
        const std::string bytes = playListText(list);
        QVERIFY(!bytes.starts_with("\xEF\xBB\xBF"));
        QVERIFY(bytes.ends_with("\r\n"));
        QCOMPARE(playListLines(bytes).size(), real ? list.size() : 3 * list.size() + 3);
        QTemporaryDir dir;
        const std::string path = dir.filePath(real ? u"list.rpm"_s : u"list.asx"_s).toStdString();
        QVERIFY(!writePlayListFile(path, bytes));
        const LoadedFile loaded = readPlayListFile(path);
        QVERIFY(loaded.error.empty());
        QCOMPARE(captionsOf(loaded.rows), captions);
        if (real) return;
        // The player reads the saved list back to the very addresses.
        QStringList played;
        for (const std::string& a : asxEntries(listTextToUtf8(bytes)))
            played << QString::fromStdString(a);
        QCOMPARE(played, addresses);
    }

    void gbkBytesOnDisk() {
        const std::vector<SongRow> list = withAddresses({u"http://h/歌 曲.rm"_s}, "rm");
        QCOMPARE(QByteArray::fromStdString(rpmText(list)),
                 QByteArray("http://h/\xB8\xE8 \xC7\xFA.rm\r\n"));
        QCOMPARE(QByteArray::fromStdString(asxText(withAddresses({u"http://h/a&b.mp3"_s}, "mp3"))),
                 QByteArray("<asx version = \"3.0\">\r\n<title>playlist</title>\r\n<entry>\r\n"
                            "<ref href = \"http://h/a&amp;b.mp3\"/>\r\n</entry>\r\n</asx>\r\n"));
    }

    void proposedName_data() {
        QTest::addColumn<QString>("search");
        QTest::addColumn<bool>("real");
        QTest::addColumn<QString>("name");
        QTest::newRow("trimmed Chinese, rpm")
            << u"  周杰伦\t"_s << true << u"20240305-070809周杰伦.rpm"_s;
        QTest::newRow("asx") << u"a b"_s << false << u"20240305-070809a b.asx"_s;
        QTest::newRow("empty search text") << "" << false << u"20240305-070809.asx"_s;
        QTest::newRow("a slash stays in the name")
            << u"AC/DC"_s << true << u"20240305-070809AC_DC.rpm"_s;
        QTest::newRow("control characters trimmed")
            << u"\x01x\r\n"_s << true << u"20240305-070809x.rpm"_s;
    }
    void proposedName() {
        QFETCH(QString, search);
        QFETCH(bool, real);
        QFETCH(QString, name);
        std::tm t{};
        t.tm_year = 124;
        t.tm_mon = 2;
        t.tm_mday = 5;
        t.tm_hour = 7;
        t.tm_min = 8;
        t.tm_sec = 9;
        QCOMPARE(QString::fromStdString(proposedSaveName(
                     t, search.toStdString(), real ? PlayerKind::Real : PlayerKind::WindowsMedia)),
                 name);
    }

    void save_data() {
        QTest::addColumn<QString>("playList");
        QTest::addColumn<QString>("selection");
        QTest::addColumn<bool>("ranAdd");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("ending");  // of the proposed name; empty: nothing to save
        const QString none = QString::fromUtf8(kNothingSelectedMessage.data());
        QTest::newRow("empty list, nothing selected") << ""
                                                      << "" << true << none << "";
        QTest::newRow("empty list takes the selection") << ""
                                                        << "rm wma" << true << ""
                                                        << ".rpm";
        QTest::newRow("list rows saved as they are") << "ram mp3"
                                                     << "wma" << false << ""
                                                     << ".rpm";
        QTest::newRow("rows from a file replaced") << "F"
                                                   << "wma rm" << true << ""
                                                   << ".asx";
        QTest::newRow("rows from a file, chart entry selected") << "F"
                                                                << "L" << true << none << "";
    }
    void save() {
        QFETCH(QString, playList);
        QFETCH(QString, selection);
        QFETCH(bool, ranAdd);
        QFETCH(QString, message);
        QFETCH(QString, ending);
        const SavePreparation prep =
            prepareSave(rows(playList, 10), rows(selection), " 歌 ", std::tm{});
        QCOMPARE(prep.ranAdd, ranAdd);
        QCOMPARE(QString::fromStdString(prep.add.message), message);
        QCOMPARE(prep.proceed, !ending.isEmpty());
        if (!prep.proceed) return;
        QVERIFY(QString::fromStdString(prep.proposedName).endsWith(u"歌"_s + ending));
        QCOMPARE(prep.bytes.starts_with("<asx"), ending == u".asx");
    }

    void asxReading_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("as written") << u"<asx version = \"3.0\">\r\n<title>demo</title>\r\n"
                                       "<entry>\r\n<ref href = \"http://h/a?x=1&amp;y=2\"/>\r\n"
                                       "</entry>\r\n</asx>\r\n"_s
                                    << QStringList{u"http://h/a?x=1&y=2"_s};
        QTest::newRow("bare ampersand")
            << u"<ref href=\"http://h/a?x=1&y=2&\"/>"_s << QStringList{u"http://h/a?x=1&y=2&"_s};
        QTest::newRow("names in any case, single quotes")
            << u"<ASX><Entry><REF HREF='http://h/b.wma'></Entry></ASX>"_s
            << QStringList{u"http://h/b.wma"_s};
        QTest::newRow("unquoted value")
            << u"<ref href=http://h/c.asf/>"_s << QStringList{u"http://h/c.asf"_s};
        QTest::newRow("numeric references")
            << u"<ref href=\"h/&#128512;&#x41;&#39;.mp3\"/>"_s << QStringList{u"h/😀A'.mp3"_s};
        QTest::newRow("nested list and order")
            << u"<ref href=\"1.mp3\"/><entryref href=\"more.asx\"/><ref href=\"2.mp3\"/>"_s
            << QStringList{u"1.mp3"_s, u"more.asx"_s, u"2.mp3"_s};
        QTest::newRow("other tags and attributes ignored")
            << u"<reference href=\"x\"/><ref xhref=\"y\" href = \"z\"/><ref/>"_s
            << QStringList{u"z"_s};
        QTest::newRow("cut off") << u"<ref href=\"http://h/cut"_s << QStringList{u"http://h/cut"_s};
        QTest::newRow("garbage") << u"<<<ref href=<>&#;&#99999999;"_s << QStringList{u"<"_s};
    }
    void asxReading() {
        QFETCH(QString, text);
        QFETCH(QStringList, entries);
        QStringList got;
        for (const std::string& e : player::asxEntries(text.toStdString()))
            got << QString::fromStdString(e);
        QCOMPARE(got, entries);
    }

    void lineListsAndKinds() {
        QStringList got;
        for (const std::string& e :
             lineListEntries("a\r\n\r\n  b  \n# note\n--stop--\rpnm://h/d.rm"))
            got << QString::fromStdString(e);
        QCOMPARE(got, (QStringList{u"a"_s, u"b"_s, u"pnm://h/d.rm"_s}));
        QCOMPARE(entryKindOf("http://h/x.RAM"), EntryKind::LineList);
        QCOMPARE(entryKindOf("file:///p q/1.rpm"), EntryKind::LineList);
        QCOMPARE(entryKindOf("http://h/x.rpm?y=1"), EntryKind::LineList);
        QCOMPARE(entryKindOf("http://h/x.asx#f"), EntryKind::AsxList);
        QCOMPARE(entryKindOf("x.WAX"), EntryKind::AsxList);
        QCOMPARE(entryKindOf("http://h/x.rpm.mp3"), EntryKind::Media);
        QCOMPARE(entryKindOf("http://h/rpm"), EntryKind::Media);
        QCOMPARE(listTextToUtf8("\xB8\xE8"), std::string("歌"));
        QCOMPARE(listTextToUtf8("\xEF\xBB\xBF歌"), std::string("歌"));
    }

    // The same two entries in every encoding a list comes in.
    void listEncodings_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("asx");
        const QString asx =
            u"<asx version=\"3.0\"><entry><ref href=\"http://h/七里香.mp3\"/>"
            "</entry><entry><ref href=\"一千.wma\"/></entry></asx>"_s;
        const QString rpm = u"http://h/七里香.mp3\r\n一千.wma\r\n"_s;
        const auto utf16 = [](const QString& text, bool bigEndian) {
            QByteArray out = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
            for (const QChar c : text) {
                const char high = static_cast<char>(c.unicode() >> 8);
                const char low = static_cast<char>(c.unicode() & 0xFF);
                out += bigEndian ? QByteArray{1, high} + low : QByteArray{1, low} + high;
            }
            return out;
        };
        QStringEncoder gbk("GBK");
        for (const bool isAsx : {true, false}) {
            const QString text = isAsx ? asx : rpm;
            const QByteArray kind = isAsx ? " asx" : " rpm";
            QTest::newRow("UTF-16 LE" + kind) << utf16(text, false) << isAsx;
            QTest::newRow("UTF-16 BE" + kind) << utf16(text, true) << isAsx;
            QTest::newRow("UTF-8 with BOM" + kind) << "\xEF\xBB\xBF" + text.toUtf8() << isAsx;
            QTest::newRow("UTF-8" + kind) << text.toUtf8() << isAsx;
            QTest::newRow("GBK" + kind) << QByteArray(gbk.encode(text)) << isAsx;
        }
    }
    void listEncodings() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, asx);
        QStringList got;
        for (const ListEntry& e :
             listEntries(bytes.toStdString(), asx ? EntryKind::AsxList : EntryKind::LineList))
            got << QString::fromStdString(e.address);
        QCOMPARE(got, (QStringList{u"http://h/七里香.mp3"_s, u"一千.wma"_s}));
    }

    // An entry of a GBK list keeps its bytes beside its text: an old GBK file name is found so.
    void gbkEntryBytes() {
        const std::vector<ListEntry> entries =
            listEntries("<ref href=\"\xB8\xE8 &amp;.mp3\"/>", EntryKind::AsxList);
        QCOMPARE(entries.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(entries[0].address), u"歌 &.mp3"_s);
        QCOMPARE(entries[0].bytes, std::string("\xB8\xE8 &.mp3"));
    }

    void sniffedKinds_data() {
        // A file of this computer whose name does not say it is a list: its first bytes do.
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<int>("kind");
        const int media = int(EntryKind::Media);
        const int lines = int(EntryKind::LineList);
        const int asx = int(EntryKind::AsxList);
        QTest::newRow("a saved .asx list") << QByteArray::fromStdString(asxText({})) << true << asx;
        QTest::newRow("asx after a byte-order mark and blanks, any case")
            << QByteArray("\xEF\xBB\xBF \r\n<ASX version=\"3.0\">") << true << asx;
        QTest::newRow("a saved .rpm list")
            << QByteArray("http://h/a.rm\r\nhttp://h/b.mp3\r\n") << true << lines;
        QTest::newRow("paths and comments")
            << QByteArray("# mine\n/music/a.mp3\n") << true << lines;
        QTest::newRow("a head cut inside its last line")
            << QByteArray("http://h/a.rm\r\nhtt") << false << lines;
        QTest::newRow("a line that is no address")
            << QByteArray("http://h/a.rm\nhello\n") << true << media;
        QTest::newRow("binary media") << QByteArray("ID3\x03\0\0http://h/a") << false << media;
        QTest::newRow("empty") << QByteArray() << true << media;
    }
    void sniffedKinds() {
        QFETCH(QByteArray, head);
        QFETCH(bool, whole);
        QFETCH(int, kind);
        QCOMPARE(
            int(sniffedKindOf(
                std::string_view(head.constData(), static_cast<std::size_t>(head.size())), whole)),
            kind);
    }

    // Lists and pages come from the network: pieces of markup in random order never make a
    // reader step outside its text (run under the sanitizers too).
    void readersSurviveAnything() {
        const std::vector<std::string> pieces = {"<",
                                                 ">",
                                                 "\"",
                                                 "'",
                                                 "=",
                                                 " ",
                                                 "/",
                                                 "&",
                                                 "&#",
                                                 "&#x",
                                                 ";",
                                                 "<ref",
                                                 "href",
                                                 "<entryref",
                                                 "<object",
                                                 "classid=",
                                                 "clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA",
                                                 "<param",
                                                 "name=src",
                                                 "value=",
                                                 "</object>",
                                                 "\r",
                                                 "\n",
                                                 "\xB8",
                                                 "\xE8",
                                                 "\xEF\xBB\xBF",
                                                 "%",
                                                 "%F"};
        std::uint32_t seed = 12345;
        const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
        for (int round = 0; round < 3000; ++round) {
            std::string text;
            const int n = static_cast<int>(next() % 24);
            for (int i = 0; i < n; ++i) text += pieces[next() % pieces.size()];
            const std::string utf8 = listTextToUtf8(text);
            for (const std::string& e : player::asxEntries(utf8)) QVERIFY(e.size() <= utf8.size());
            for (const std::string& e : lineListEntries(utf8)) QVERIFY(e.size() <= utf8.size());
            for (const PlayerObject& o : playerObjectsOf(text))
                QVERIFY(o.target.size() <= 4 * text.size());
            QVERIFY(decodeEntities(utf8).size() <= utf8.size());
            (void)displayNameOf(text);
            (void)entryKindOf(text);
            (void)sniffedKindOf(text, round % 2 == 0);
            (void)loadedRows(text, round % 2 == 0);
        }
    }

    void displayName_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        QTest::newRow("file name decoded") << "http://h/a/b%20c.mp3?x=/y"
                                           << "b c.mp3";
        QTest::newRow("UTF-8 escapes") << "http://h/%E6%AD%8C.wma" << u"歌.wma"_s;
        QTest::newRow("local path") << u"file:///tmp/x y/歌.rm"_s << u"歌.rm"_s;
        QTest::newRow("no path") << "http://h"
                                 << "http://h";
        QTest::newRow("folder only") << "http://h/"
                                     << "http://h/";
        QTest::newRow("not UTF-8 once decoded") << "http://h/%FF.mp3"
                                                << "%FF.mp3";
        QTest::newRow("relative") << "sample.rm"
                                  << "sample.rm";
    }
    void displayName() {
        QFETCH(QString, address);
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(displayNameOf(address.toStdString())), name);
    }

    // The play list marks the row the player's entry came from.
    void playingRow_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("entryIndex");
        QTest::addColumn<int>("row");  // -1: none
        // rows: 歌1 mp3 (s01/1.mp3), 歌2 rm, 歌3 = a second 歌1 row, a file line, an asx line
        QTest::newRow("by address") << u"http://h/s01/2.rm"_s << u"x"_s << 1 << 1;
        QTest::newRow("twice in the list: the nearer")
            << u"http://h/s01/1.mp3"_s << QString() << 2 << 2;
        QTest::newRow("file line") << u"http://h/line4.mp3"_s << QString() << 0 << 3;
        QTest::newRow("asx line") << u"http://h/a&b.wma"_s << QString() << 0 << 4;
        QTest::newRow("inside a list row: its title") << u"http://cdn/x.rm"_s << u"歌2"_s << 5 << 1;
        QTest::newRow("nothing matches") << u"http://cdn/x.rm"_s << u"别的"_s << 0 << -1;
    }
    void playingRow() {
        QFETCH(QString, address);
        QFETCH(QString, title);
        QFETCH(int, entryIndex);
        QFETCH(int, row);
        std::vector<SongRow> list = rows(u"mp3 rm"_s);
        list.push_back(list.front());
        list.push_back(core::fileLine("http://h/line4.mp3"));
        list.push_back(core::fileLine("<ref href = \"http://h/a&amp;b.wma\"/>"));
        const std::optional<std::size_t> got =
            rowOfEntry(list, address.toStdString(), title.toStdString(), entryIndex);
        QCOMPARE(got ? static_cast<int>(*got) : -1, row);
    }
};

QTEST_APPLESS_MAIN(TestPlayerLists)
#include "test_player_lists.moc"
