// The card page byte for byte, its generation into the program folder and saving it elsewhere.
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "card/background.h"
#include "card/cardpage.h"
#include "card/savecard.h"
#include "core/atomicfile.h"
#include "core/text.h"
#include "tests/support/files.h"

using namespace melorin;
using namespace melorin::card;
using melorin::testing::fileBytes;

namespace {

QByteArray fixture(const char* name) {
    QFile f(qEnvironmentVariable("MELORIN_SOURCE_DIR") + QStringLiteral("/tests/card/fixtures/") +
            QString::fromLatin1(name));
    if (!f.open(QIODevice::ReadOnly)) qFatal("missing fixture %s", name);
    return f.readAll();
}

core::SongRow song(std::string address, std::string type) {
    return {core::RowShape::File, "1", 1, "七里香", std::move(address), "3.5M", std::move(type)};
}

const std::vector<std::string> kGreeting{"亲爱的朋友：", "祝你新年快乐，万事如意，身体健康，",
                                         "心想事成！"};

CardText realCard() {
    CardText card;
    card.title = "<font color=#FF0000 face='文泉驿微米黑'>新年快乐</font>😀";
    card.contentLines = kGreeting;
    card.contentLines.emplace_back("<center>小明</center>");
    card.picture = "/opt/melorin/pic/0103.jpg";
    return card;
}

CardText windowsMediaCard() {
    return {"", kGreeting, "/home/用户/贺卡 #1/bg&1.jpg"};
}

// A file-size limit makes every write past `bytes` fail, as a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit small = saved_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

}  // namespace

class TestCardPage : public QObject {
    Q_OBJECT
private slots:
    void playerKind_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("real");
        for (const char* t : {"rm", "RM", "ram", "Ram"})
            QTest::newRow(t) << QString::fromLatin1(t) << true;
        for (const char* t : {"mp3", "wma", "asf", "rmvb", ""}) {
            QTest::newRow(*t ? t : "empty") << QString::fromLatin1(t) << false;
        }
    }
    void playerKind() {
        QFETCH(QString, type);
        QFETCH(bool, real);
        QCOMPARE(playerKindOf(song("http://h/a", type.toStdString())) == PlayerKind::Real, real);
    }

    // Greeting of three lines (the second and third one wrapped paragraph), a title outside GBK,
    // an empty title, an address with markup characters, a picture path that a URL cannot hold.
    void pageBytes_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("want");
        const core::SongRow real = song("http://127.0.0.1:8080/songs/qlx.rm?a=1&b=\"2\"<x>", "RM");
        const core::SongRow media = song("http://127.0.0.1:8080/歌曲/七里香.mp3?x=1&y=😀", "mp3");
        QTest::newRow("Real") << QByteArray::fromStdString(cardPageBytes(real, realCard()))
                              << fixture("real_card.html");
        QTest::newRow("Windows Media")
            << QByteArray::fromStdString(cardPageBytes(media, windowsMediaCard()))
            << fixture("windowsmedia_card.html");
    }
    void pageBytes() {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, want);
        QCOMPARE(page, want);
        // What the fixtures must hold anyway: no byte-order mark, no charset, CR LF throughout.
        QVERIFY(!page.startsWith("\xEF\xBB\xBF"));
        QVERIFY(!page.toLower().contains("charset"));
        QVERIFY(page.endsWith("</html>\r\n"));
        QCOMPARE(page.count('\n'), page.count("\r\n"));
    }

    void pictureLineRoundTrip_data() {
        QTest::addColumn<QString>("path");
        for (const char* p : {"/opt/melorin/pic/0103.jpg", "/home/用户/贺卡 #1/a%20b?.jpg",
                              "/tmp/\"q\"&<x>.gif", "/tmp/😀.jpeg"}) {
            QTest::newRow(p) << QString::fromUtf8(p);
        }
    }
    void pictureLineRoundTrip() {
        QFETCH(QString, path);
        const std::string line = backgroundLineForFile(path.toStdString());
        // Pure ASCII whatever the path: the page's encoding cannot garble it.
        QVERIFY(std::all_of(line.begin(), line.end(), [](char c) { return c > 0x1F && c < 0x7F; }));
        QCOMPARE(pictureOfBackgroundLine(line), std::optional(path.toStdString()));
        QVERIFY(!pictureOfBackgroundLine(backgroundLineForRelative("a_files/b.jpg")));
        QVERIFY(!pictureOfBackgroundLine("<body>"));
    }

    void generateWritesTheFirstRowsCard() {
        QTemporaryDir dir;
        const std::string programDir = dir.path().toStdString() + '/';
        const std::vector<core::SongRow> list{song("http://h/first.ram", "ram"),
                                              song("http://h/second.mp3", "mp3")};
        QCOMPARE(generateCardPage(programDir, list, realCard()), std::nullopt);
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("card.html"))),
                 QByteArray::fromStdString(cardPageBytes(list[0], realCard())));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);  // no temporary left
    }

    void generateWithNothingToWriteKeepsThePage() {
        QTemporaryDir dir;
        const std::string programDir = dir.path().toStdString() + '/';
        const QString page = dir.filePath(QStringLiteral("card.html"));
        QVERIFY(!core::writeFileAtomically(page.toStdString(), "old page"));
        QCOMPARE(generateCardPage(programDir, {}, realCard()), std::nullopt);
        QCOMPARE(fileBytes(page), QByteArray("old page"));
        // A list entry has no song address: reported, not written as a player source.
        const std::vector<core::SongRow> entry{core::listEntry("1", "周杰伦", "/singer/zjl")};
        const auto failure = generateCardPage(programDir, entry, realCard());
        QVERIFY(failure && failure->find("not a music file") != std::string::npos);
        QCOMPARE(fileBytes(page), QByteArray("old page"));
    }

    void failedGenerateKeepsTheOldPageAndSaysWhy() {
        QTemporaryDir dir;
        const std::string programDir = dir.path().toStdString() + '/';
        const QString page = dir.filePath(QStringLiteral("card.html"));
        QVERIFY(!core::writeFileAtomically(page.toStdString(), "old page"));
        std::optional<std::string> failure;
        {
            FileSizeLimit limit(64);
            failure =
                generateCardPage(programDir, std::vector{song("http://h/a.rm", "rm")}, realCard());
        }
        QVERIFY(failure);
        QVERIFY2(failure->find(page.toStdString()) != std::string::npos, failure->c_str());
        QCOMPARE(fileBytes(page), QByteArray("old page"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    }

    void savedPageIsThePageFile() {
        QTemporaryDir dir;
        const std::string page = dir.filePath(QStringLiteral("card.html")).toStdString();
        const std::string bytes = cardPageBytes(song("http://h/a.rm", "rm"), realCard());
        QVERIFY(!core::writeFileAtomically(page, bytes));
        const QString target = dir.filePath(QStringLiteral("给妈妈.html"));
        QCOMPARE(savePage(page, target.toStdString()), std::nullopt);
        QCOMPARE(fileBytes(target), QByteArray::fromStdString(bytes));
        QVERIFY(savePage(dir.filePath(QStringLiteral("gone.html")).toStdString(),
                         target.toStdString()));
    }

    void savedPageWithPictureChangesOnlyTheBackground() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("pic")));
        CardText card = windowsMediaCard();
        card.picture = dir.filePath(QStringLiteral("pic/背景 1.jpg")).toStdString();
        const QByteArray picture("\xFF\xD8 not really a JPEG \x00\x01", 22);
        QVERIFY(!core::writeFileAtomically(card.picture, picture.toStdString()));
        const std::string page = dir.filePath(QStringLiteral("card.html")).toStdString();
        std::vector<std::string> lines = cardPageLines(song("http://h/a.mp3", "mp3"), card);
        QVERIFY(!core::writeFileAtomically(page, core::crlfLines(lines)));

        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("out")));
        const QString target = dir.filePath(QStringLiteral("out/贺卡.html"));
        QCOMPARE(savePageWithPicture(page, target.toStdString()), std::nullopt);
        QCOMPARE(pictureFolderFor(target.toStdString()),
                 dir.filePath(QStringLiteral("out/贺卡_files/")).toStdString());
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("out/贺卡_files/背景 1.jpg"))), picture);
        lines[1] = "<body background=\"%E8%B4%BA%E5%8D%A1_files/%E8%83%8C%E6%99%AF 1.jpg\"> ";
        QCOMPARE(fileBytes(target), QByteArray::fromStdString(core::crlfLines(lines)));
        // Saving again over the same target and folder works the same.
        QCOMPARE(savePageWithPicture(page, target.toStdString()), std::nullopt);
    }

    void savingWithAMissingPictureWritesNothing() {
        QTemporaryDir dir;
        CardText card = realCard();
        card.picture = dir.filePath(QStringLiteral("pic/none.jpg")).toStdString();
        const std::string page = dir.filePath(QStringLiteral("card.html")).toStdString();
        QVERIFY(!core::writeFileAtomically(page, cardPageBytes(song("http://h/a.rm", "rm"), card)));
        const QString target = dir.filePath(QStringLiteral("saved.html"));
        const auto failure = savePageWithPicture(page, target.toStdString());
        QVERIFY(failure && failure->find(card.picture) != std::string::npos);
        QVERIFY(!QFile::exists(target));
        // A page without a local background picture is refused with a reason.
        QVERIFY(!core::writeFileAtomically(page, "<HTML>\r\n<body>\r\n</html>\r\n"));
        QVERIFY(savePageWithPicture(page, target.toStdString()));
    }
};

QTEST_GUILESS_MAIN(TestCardPage)
#include "test_card_page.moc"
