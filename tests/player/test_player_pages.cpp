// What "在线播放" and the load action write into the program folder, byte for byte: the working
// lists "1.rpm" and "winmedia.asx" and the pages "1.html" and "2.html", with a program folder
// holding a blank and addresses holding "&"; escaping; failed writes.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "core/songrow.h"
#include "player/pageobjects.h"
#include "player/playerpages.h"

using namespace melorin;
using namespace melorin::player;
using namespace Qt::StringLiterals;
using core::SongRow;

namespace {

SongRow song(const std::string& address, const std::string& type) {
    return {core::RowShape::File, "1", 0, "歌", address, "3.5 M", type};
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The expected page with "@DIR@" standing for the program folder in GBK.
QByteArray expected(const char* text, const QByteArray& dir) {
    QByteArray bytes(text);
    bytes.replace("@DIR@", dir);
    return bytes;
}

const char* const kRealPageBytes =
    "<HTML>\r\n<body>\r\n\r\n\r\n"
    "<OBJECT ID=RAOCX CLASSID=\"clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA\" HEIGHT=\"50\" "
    "WIDTH=\"500\">\r\n"
    "\r\n"
    "<param name=\"_ExtentX\" value=\"6350\">\r\n"
    "<param name=\"_ExtentY\" value=\"2646\">\r\n"
    "<param name=\"AUTOSTART\" value=\"-1\">\r\n"
    "<param name=\"SHUFFLE\" value=\"0\">\r\n"
    "<param name=\"PREFETCH\" value=\"0\">\r\n"
    "<param name=\"NOLABELS\" value=\"0\">\r\n"
    "<param name=\"SRC\" value=\"file://@DIR@\">\r\n"
    "<param name=\"CONTROLS\" value=\"ConrolPane\">\r\n"
    "<param name=\"CONSOLE\" value=\"one\">\r\n"
    "<param name=\"LOOP\" value=\"0\">\r\n"
    "<param name=\"NUMLOOP\" value=\"0\">\r\n"
    "<param name=\"CENTER\" value=\"0\">\r\n"
    "<param name=\"MAINTAINASPECT\" value=\"0\">\r\n"
    "<param name=\"BACKGROUNDCOLOR\" value=\"#000000\">\r\n"
    "\r\n"
    "</OBJECT>\r\n</body>\r\n</html>\r\n";

// "@H@" is the object's height, "@END@" what follows the target inside the value.
const char* const kWindowsMediaPageBytes =
    "<HTML>\r\n<body>\r\n\r\n\r\n\r\n"
    "<OBJECT ID=\"WMPlay\" WIDTH=500 HEIGHT=@H@\r\n"
    "CLASSID=\"CLSID:22D6f312-B0F6-11D0-94AB-0080C74C7E95\"\r\n"
    "CODEBASE=\"http://activex.melorin.invalid/activex/controls/mplayer/en/\r\n"
    "nsmp2inf.cab#Version=6,4,5,715\"\r\n"
    "STANDBY=\"Loading Microsoft? Windows Media? Player components...\"\r\n"
    "TYPE=\"application/x-oleobject\">\r\n"
    "<PARAM NAME=\"fileName\" VALUE=\"file://@DIR@@END@>\r\n"
    "<param name=\"ShowStatusBar\" value=\"1\">\r\n"
    "</OBJECT>\r\n</body>\r\n</html>\r\n";

QByteArray windowsMediaPage(const QByteArray& target, bool online) {
    QByteArray page = expected(kWindowsMediaPageBytes, target);
    page.replace("@H@", online ? "68" : "65");
    page.replace("@END@", online ? " \"" : "\"");
    return page;
}

}  // namespace

class TestPlayerPages : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(root_.isValid());
        dir_ = root_.path() + u"/Melorin 程序/"_s;
        QVERIFY(QDir().mkpath(dir_));
        gbkDir_ = dir_.toUtf8();
        gbkDir_.replace("程序", "\xB3\xCC\xD0\xF2");
    }
    void cleanup() { QDir(dir_).removeRecursively(); }

    void realSelection() {
        const std::vector<SongRow> selection = {
            song("http://127.0.0.1:8360/music/s01/074.ram", "ram"),
            song("http://127.0.0.1:8360/music/s01/000.mp3?a=1&b=2", "mp3")};
        const OnlinePlayStep step = onlinePlay(dir_.toStdString(), selection);
        QVERIFY(step.openAddress.empty());
        QVERIFY(!step.add.refused());
        QVERIFY(step.add.emptyPlayListFirst);
        QCOMPARE(step.add.rows, selection);
        QVERIFY(step.page);
        QCOMPARE(step.page->kind, PlayerKind::Real);
        QCOMPARE(step.page->pageName, std::string("1.html"));
        QCOMPARE(step.page->shrink, 70);
        QVERIFY(!writePlayerFiles(dir_.toStdString(), step.page->files));
        QCOMPARE(QDir(dir_).entryList(QDir::Files), (QStringList{u"1.html"_s, u"1.rpm"_s}));
        QCOMPARE(fileBytes(dir_ + u"1.rpm"_s),
                 QByteArray("http://127.0.0.1:8360/music/s01/074.ram\r\n"
                            "http://127.0.0.1:8360/music/s01/000.mp3?a=1&b=2\r\n"));
        QCOMPARE(fileBytes(dir_ + u"1.html"_s), expected(kRealPageBytes, gbkDir_ + "1.rpm"));
    }

    void windowsMediaSelection() {
        const std::vector<SongRow> selection = {
            song("http://127.0.0.1:8360/music/s01/000.mp3?a=1&b=2", "mp3"),
            song("http://127.0.0.1:8360/music/s01/歌.wma", "wma"),
            song("http://127.0.0.1:8360/music/s02/015.rm", "rm")};
        const OnlinePlayStep step = onlinePlay(dir_.toStdString(), selection);
        QVERIFY(step.page);
        QCOMPARE(step.page->kind, PlayerKind::WindowsMedia);
        QCOMPARE(step.page->pageName, std::string("2.html"));
        QCOMPARE(step.page->shrink, 75);
        QVERIFY(!writePlayerFiles(dir_.toStdString(), step.page->files));
        QCOMPARE(QDir(dir_).entryList(QDir::Files), (QStringList{u"2.html"_s, u"winmedia.asx"_s}));
        QCOMPARE(
            fileBytes(dir_ + u"winmedia.asx"_s),
            QByteArray("<asx version = \"3.0\">\r\n<title>demo</title>\r\n"
                       "<entry>\r\n"
                       "<ref href = \"http://127.0.0.1:8360/music/s01/000.mp3?a=1&amp;b=2\"/>"
                       "\r\n</entry>\r\n"
                       "<entry>\r\n<ref href = \"http://127.0.0.1:8360/music/s01/\xB8\xE8.wma\"/>"
                       "\r\n</entry>\r\n"
                       "<entry>\r\n<ref href = \"http://127.0.0.1:8360/music/s02/015.rm\"/>"
                       "\r\n</entry>\r\n"
                       "</asx>\r\n"));
        QCOMPARE(fileBytes(dir_ + u"2.html"_s), windowsMediaPage(gbkDir_ + "winmedia.asx", true));
    }

    void loadedFilePages_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("real");
        QTest::newRow("rpm") << "my list.rpm" << true;
        QTest::newRow("RpM") << "x.RpM" << true;
        QTest::newRow("asx") << "list.asx" << false;
        QTest::newRow("any other name") << "list.txt" << false;
    }
    void loadedFilePages() {
        QFETCH(QString, name);
        QFETCH(bool, real);
        // The working lists of an earlier "在线播放" stay as they were.
        QVERIFY(!writePlayerFiles(dir_.toStdString(), {{"1.rpm", "old"}, {"winmedia.asx", "old"}}));
        const QString path = dir_ + u"lists/"_s + name;
        const PageToShow page = loadedFilePage(path.toStdString());
        QCOMPARE(page.shrink, 70);
        QCOMPARE(page.files.size(), std::size_t{1});
        QVERIFY(!writePlayerFiles(dir_.toStdString(), page.files));
        const QByteArray target = gbkDir_ + "lists/" + name.toUtf8();
        if (real) {
            QCOMPARE(page.pageName, std::string("1.html"));
            QCOMPARE(fileBytes(dir_ + u"1.html"_s), expected(kRealPageBytes, target));
        } else {
            QCOMPARE(page.pageName, std::string("2.html"));
            QCOMPARE(fileBytes(dir_ + u"2.html"_s), windowsMediaPage(target, false));
        }
        QCOMPARE(fileBytes(dir_ + u"1.rpm"_s), QByteArray("old"));
        QCOMPARE(fileBytes(dir_ + u"winmedia.asx"_s), QByteArray("old"));
    }

    void selectionRules_data() {
        QTest::addColumn<QStringList>("types");  // "L": a chart entry
        QTest::addColumn<QString>("opened");     // the address the desktop opens
        QTest::addColumn<bool>("page");
        QTest::newRow("html row opens its address")
            << QStringList{u"html"_s, u"mp3"_s} << "http://h/0.html" << false;
        QTest::newRow("chart entry before the html row")
            << QStringList{u"L"_s, u"html"_s} << "http://h/1.html" << false;
        QTest::newRow("html later is played like the rest")
            << QStringList{u"mp3"_s, u"html"_s} << "" << true;
        QTest::newRow("nothing selected") << QStringList{} << "" << false;
        QTest::newRow("only chart entries") << QStringList{u"L"_s} << "" << false;
    }
    void selectionRules() {
        QFETCH(QStringList, types);
        QFETCH(QString, opened);
        QFETCH(bool, page);
        std::vector<SongRow> selection;
        for (int i = 0; i < types.size(); ++i) {
            const std::string n = std::to_string(i);
            selection.push_back(
                types[i] == u"L"
                    ? core::listEntry(n, "歌手", "m?word=x")
                    : song("http://h/" + n + "." + types[i].toStdString(), types[i].toStdString()));
        }
        const OnlinePlayStep step = onlinePlay(dir_.toStdString(), selection);
        QCOMPARE(QString::fromStdString(step.openAddress), opened);
        QCOMPARE(step.page.has_value(), page);
        if (!opened.isEmpty()) QVERIFY(step.add.rows.empty() && !step.add.refused());
        if (opened.isEmpty() && !page) {
            QCOMPARE(step.add.message, std::string(kNothingSelectedMessage));
            QVERIFY(!step.add.emptyPlayListFirst);  // the play list is left as it is
        }
    }

    // Addresses and folders that would end an attribute or add markup are written with
    // entities; characters GBK cannot hold as numeric references.
    void escaping_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QByteArray>("pageValue");  // the target inside the page's value
        QTest::addColumn<QByteArray>("listLine");   // the working list's line for the address
        QTest::newRow("quotation mark and brackets")
            << u"a\"b&c/"_s << u"http://h/x\"><script>.mp3"_s
            << QByteArray("a&quot;b&amp;c/winmedia.asx")
            << QByteArray("<ref href = \"http://h/x&quot;&gt;&lt;script&gt;.mp3\"/>");
        QTest::newRow("outside GBK")
            << u"😀/"_s << u"http://h/한.mp3"_s << QByteArray("&#128512;/winmedia.asx")
            << QByteArray("<ref href = \"http://h/&#54620;.mp3\"/>");
        QTest::newRow("line breaks stay inside the line")
            << u"x/"_s << u"http://h/a\r\n</asx>.mp3"_s << QByteArray("x/winmedia.asx")
            << QByteArray("<ref href = \"http://h/a%0D%0A&lt;/asx&gt;.mp3\"/>");
    }
    void escaping() {
        QFETCH(QString, folder);
        QFETCH(QString, address);
        QFETCH(QByteArray, pageValue);
        QFETCH(QByteArray, listLine);
        const std::string dir = dir_.toStdString() + folder.toStdString();
        const OnlinePlayStep step = onlinePlay(dir, {song(address.toStdString(), "mp3")});
        QVERIFY(step.page);
        const QByteArray list = QByteArray::fromStdString(step.page->files[0].bytes);
        const QByteArray page = QByteArray::fromStdString(step.page->files[1].bytes);
        QCOMPARE(list.split('\n').size(), 3 * 1 + 3 + 1);
        QVERIFY2(list.contains("\r\n" + listLine + "\r\n"), list.constData());
        QVERIFY2(page.contains("VALUE=\"file://" + gbkDir_ + pageValue + " \">\r\n"),
                 page.constData());
    }

    void realListKeepsAddressesOnTheirLines() {
        const OnlinePlayStep step = onlinePlay(
            dir_.toStdString(), {song("http://h/a\nb.rm", "rm"), song("http://h/😀.rm", "rm")});
        QVERIFY(step.page);
        QCOMPARE(QByteArray::fromStdString(step.page->files[0].bytes),
                 QByteArray("http://h/a%0Ab.rm\r\nhttp://h/%F0%9F%98%80.rm\r\n"));
    }

    void failedWrites() {
        // A missing folder: nothing written, the failure named.
        const auto missing =
            writePlayerFiles(dir_.toStdString() + "gone/", {{"1.rpm", "x"}, {"1.html", "y"}});
        QVERIFY(missing);
        QVERIFY(QString::fromStdString(*missing).contains(u"gone/1.rpm"_s));
        // The second file cannot replace what is there: the first is written, the old second
        // one stays, later steps are skipped.
        QVERIFY(QDir(dir_).mkdir(u"1.html"_s));
        const auto blocked = writePlayerFiles(
            dir_.toStdString(), {{"1.rpm", "list"}, {"1.html", "page"}, {"later", "z"}});
        QVERIFY(blocked);
        QVERIFY(QString::fromStdString(*blocked).contains(u"1.html"_s));
        QCOMPARE(fileBytes(dir_ + u"1.rpm"_s), QByteArray("list"));
        QVERIFY(QFileInfo(dir_ + u"1.html"_s).isDir());
        QVERIFY(!QFileInfo::exists(dir_ + u"later"_s));
        QCOMPARE(QDir(dir_).entryList(QDir::Files | QDir::Hidden), QStringList{u"1.rpm"_s});
    }

    // The player reads each object's target from the page file's own bytes.
    void playerObjects_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QStringList>("found");  // "R" or "W", the target, "auto" or "manual"
        const std::string dir = "/tmp/Melorin 程序/a&b\"c/";
        QTest::newRow("Real page")
            << QByteArray::fromStdString(realPage(dir + "1.rpm"))
            << QStringList{u"R"_s, u"file:///tmp/Melorin 程序/a&b\"c/1.rpm"_s, u"auto"_s};
        QTest::newRow("Windows Media page, blank after the target")
            << QByteArray::fromStdString(
                   windowsMediaPage(dir + "winmedia.asx", WindowsMediaPageFor::OnlinePlay))
            << QStringList{u"W"_s, u"file:///tmp/Melorin 程序/a&b\"c/winmedia.asx"_s, u"auto"_s};
        QTest::newRow("outside GBK") << QByteArray::fromStdString(realPage("/x/😀/l.rpm"))
                                     << QStringList{u"R"_s, u"file:///x/😀/l.rpm"_s, u"auto"_s};
        QTest::newRow("card-like page, any case, autostart off")
            << QByteArray(
                   "<html><object classid=' CLSID:cfcdaa03-8be4-11CF-b84b-0020afbbccfa '>"
                   "<PARAM name=AUTOSTART value=false><param NAME=\"src\" "
                   "VALUE=\"http://h/a.rm?x=1&amp;y=2\"></object>")
            << QStringList{u"R"_s, u"http://h/a.rm?x=1&y=2"_s, u"manual"_s};
        QTest::newRow("other objects and stray parameters")
            << QByteArray(
                   "<param name=src value=stray><object classid=\"clsid:other\">"
                   "<param name=src value=no></object><object "
                   "classid=\"CLSID:22D6f312-B0F6-11D0-94AB-0080C74C7E95\"></object>"
                   "<param name=fileName value=after>")
            << QStringList{u"W"_s, u""_s, u"auto"_s};
        QTest::newRow("cut-off page") << QByteArray(
                                             "<OBJECT CLASSID=\"clsid:CFCDAA03-8BE4-11cf-"
                                             "B84B-0020AFBBCCFA\"><param name=\"SRC\" value=\"x")
                                      << QStringList{u"R"_s, u"x"_s, u"auto"_s};
        QTest::newRow("no objects") << QByteArray("<object") << QStringList{};
        // GBK bytes of these names are also valid UTF-8: the page is read as GBK all the same.
        QTest::newRow("folder 一千") << QByteArray::fromStdString(realPage("/tmp/一千/1.rpm"))
                                     << QStringList{u"R"_s, u"file:///tmp/一千/1.rpm"_s, u"auto"_s};
        QTest::newRow("folder 千千")
            << QByteArray::fromStdString(
                   windowsMediaPage("/tmp/千千/千千.asx", WindowsMediaPageFor::LoadedFile))
            << QStringList{u"W"_s, u"file:///tmp/千千/千千.asx"_s, u"auto"_s};
        // What a browser would not make an element of is no player object.
        const QByteArray real = "<object classid=\"clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA\">";
        QTest::newRow("objects in a script, a comment, an attribute and a title")
            << "<script>document.write('" + real +
                   "<param name=src value=http://x/w.rm></object>');</script><!-- " + real +
                   "<param name=src value=http://x/c.rm> --><img alt=\"" + real + "\"><title>" +
                   real + "</title>" + real + "<param name=src value=\"http://h/song.rm\"></object>"
            << QStringList{u"R"_s, u"http://h/song.rm"_s, u"auto"_s};
        QTest::newRow("a parameter belongs to the object opened last")
            << real + "<param name=src value=one>" + real + "<param name=src value=two>"
            << QStringList{u"R"_s, u"one"_s, u"auto"_s, u"R"_s, u"two"_s, u"auto"_s};
    }
    void playerObjects() {
        QFETCH(QByteArray, page);
        QFETCH(QStringList, found);
        QStringList got;
        for (const PlayerObject& o : playerObjectsOf(page.toStdString())) {
            got << (o.kind == PlayerKind::Real ? u"R"_s : u"W"_s)
                << QString::fromStdString(o.target) << (o.autoStart ? u"auto"_s : u"manual"_s);
        }
        QCOMPARE(got, found);
    }

    // A name that is not UTF-8 (an old GBK name) is written as its bytes and read back so.
    void targetBytesOfAName() {
        const std::string path = "/tmp/\xB8\xE8 &.rpm";
        const std::string page = realPage(path);
        QVERIFY(page.find("file:///tmp/\xB8\xE8 &amp;.rpm") != std::string::npos);
        const std::vector<PlayerObject> objects = playerObjectsOf(page);
        QCOMPARE(objects.size(), std::size_t{1});
        QCOMPARE(objects[0].targetBytes, "file://" + path);
        QCOMPARE(QString::fromStdString(objects[0].target), u"file:///tmp/歌 &.rpm"_s);
    }

    // A page with thousands of objects that never close: every one is found in one pass, and
    // players go to the first few only (the scan's time: bench/bench_parser).
    void manyUnclosedObjects() {
        std::string page = "<html><body>";
        for (int i = 0; i < 20000; ++i)
            page += "<OBJECT CLASSID=\"" + std::string(kRealClassId) +
                    "\"><param name=\"SRC\" value=\"http://h/" + std::to_string(i) + ".rm\">";
        const std::vector<PlayerObject> objects = playerObjectsOf(page);
        QCOMPARE(objects.size(), kMaxPlayerObjects);
        QCOMPARE(objects.back().target,
                 "http://h/" + std::to_string(kMaxPlayerObjects - 1) + ".rm");
    }

    void pagePicture_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("picture");
        QTest::newRow("card page") << QByteArray(
                                          "<HTML>\r\n<body background=\"file:///tmp/\xB3\xCC"
                                          "\xD0\xF2/pic/0103.jpg\" >\r\n")
                                   << u"file:///tmp/程序/pic/0103.jpg"_s;
        QTest::newRow("player page") << QByteArray::fromStdString(realPage("/tmp/1.rpm")) << u""_s;
        QTest::newRow("body named in a script first")
            << QByteArray("<script>'<body background=x>'</script><BODY BACKGROUND='y&amp;z'>")
            << u"y&z"_s;
    }
    void pagePicture() {
        QFETCH(QByteArray, page);
        QFETCH(QString, picture);
        QCOMPARE(QString::fromStdString(pagePictureOf(page.toStdString())), picture);
    }

private:
    QTemporaryDir root_;
    QString dir_;
    QByteArray gbkDir_;
};

QTEST_APPLESS_MAIN(TestPlayerPages)
#include "test_player_pages.moc"
