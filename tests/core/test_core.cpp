// Text at the edges, file dialog filters and files replaced whole.
#include <sys/resource.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/atomicfile.h"
#include "core/filefilter.h"
#include "core/markup.h"
#include "core/songrow.h"
#include "core/text.h"
#include "core/webaddress.h"

using namespace melorin::core;

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The umask as the kernel reports it; reading it with umask() would set it.
mode_t reportedUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    return 07777;
}

}  // namespace

class TestCore : public QObject {
    Q_OBJECT
private slots:
    void gbk_data() {
        QTest::addColumn<QString>("utf8");
        QTest::addColumn<bool>("percent");
        QTest::addColumn<QByteArray>("gbk");
        QTest::newRow("ascii") << QStringLiteral("ab c?") << false << QByteArray("ab c?");
        QTest::newRow("ascii, controls and DEL as they are")
            << QStringLiteral("a\tb\x7f") << false << QByteArray("a\tb\x7f");
        QTest::newRow("chinese") << QStringLiteral("歌") << false << QByteArray("\xB8\xE8");
        QTest::newRow("emoji as reference")
            << QStringLiteral("a😀b") << false << QByteArray("a&#128512;b");
        QTest::newRow("hangul as reference")
            << QStringLiteral("한歌") << false << QByteArray("&#54620;\xB8\xE8");
        QTest::newRow("emoji percent-encoded")
            << QStringLiteral("x😀") << true << QByteArray("x%F0%9F%98%80");
    }
    void gbk() {
        QFETCH(QString, utf8);
        QFETCH(bool, percent);
        QFETCH(QByteArray, gbk);
        const std::string got = utf8ToGbk(
            utf8.toStdString(), percent ? Unencodable::PercentUtf8 : Unencodable::NumericReference);
        QCOMPARE(QByteArray::fromStdString(got), gbk);
    }
    void gbkRoundTrip() {
        const std::string text = "周杰伦 - 七里香.mp3";
        QCOMPARE(gbkToUtf8(utf8ToGbk(text)), text);
        QCOMPARE(gbkToUtf8("a\x81"), std::string("a"));  // a cut sequence
        QCOMPARE(gbkToUtf8("a\tb\x7f"), std::string("a\tb\x7f"));
    }
    void rowsForActions_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("kept");
        QTest::newRow("http") << QStringLiteral("http://127.0.0.1:1/a.mp3") << true;
        QTest::newRow("file") << QStringLiteral("file:///home/u/private.rpm") << false;
        QTest::newRow("absolute path") << QStringLiteral("/home/u/song.mp3") << false;
        QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)") << false;
        QTest::newRow("data") << QStringLiteral("data:audio/mpeg;base64,AAAA") << false;
        QTest::newRow("line break in it") << QStringLiteral("file:///a\r\n伪造的一行") << false;
    }
    void rowsForActions() {
        QFETCH(QString, address);
        QFETCH(bool, kept);
        SongRow row{RowShape::File, "1", 0, "歌\n名", address.toStdString(), "1M", "mp3"};
        const SongRow entry = listEntry("2", "歌手", "m?word=x");
        const RowsForAction out = webRowsFor(RowAction::Download, {entry, row});
        // List entries are left to the action's own rules.
        const std::vector<SongRow> expected =
            kept ? std::vector<SongRow>{entry, row} : std::vector<SongRow>{entry};
        QCOMPARE(out.rows, expected);
        QCOMPARE(out.refusals.size(), kept ? 0u : 1u);
        if (kept) return;
        // One line of the log, naming the row and why.
        const std::string& line = out.refusals.front();
        QVERIFY(line.find("歌 名") != std::string::npos && line.find("http") != std::string::npos);
        QVERIFY(line.find_first_of("\r\n") == std::string::npos);
    }
    void markup_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("kept");     // the apostrophe kept: the program's files
        QTest::addColumn<QByteArray>("escaped");  // the apostrophe escaped: the service's pages
        QTest::newRow("address") << QByteArray("http://h/a?b=1&c=\"<x>\"")
                                 << QByteArray("http://h/a?b=1&amp;c=&quot;&lt;x&gt;&quot;")
                                 << QByteArray("http://h/a?b=1&amp;c=&quot;&lt;x&gt;&quot;");
        QTest::newRow("apostrophe")
            << QByteArray("it's") << QByteArray("it's") << QByteArray("it&#39;s");
        QTest::newRow("chinese") << QByteArray("歌 plain") << QByteArray("歌 plain")
                                 << QByteArray("歌 plain");
        QTest::newRow("entity already")
            << QByteArray("&amp;'") << QByteArray("&amp;amp;'") << QByteArray("&amp;amp;&#39;");
        QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
    }
    void markup() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, kept);
        QFETCH(QByteArray, escaped);
        QCOMPARE(QByteArray::fromStdString(escapeMarkup(text.toStdString())), kept);
        QCOMPARE(QByteArray::fromStdString(escapeMarkup(text.toStdString(), Apostrophe::Escaped)),
                 escaped);
    }
    void lines() {
        const std::vector<std::string> lines{"a", "", "b"};
        QCOMPARE(crlfLines(lines), std::string("a\r\n\r\nb\r\n"));
    }
    void webAddress_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("web");
        QTest::newRow("http") << QStringLiteral("http://127.0.0.1:8360/music/s01/1.mp3") << true;
        QTest::newRow("https, upper case") << QStringLiteral("HTTPS://Example.com") << true;
        QTest::newRow("chinese path") << QStringLiteral("http://a.cn/歌.mp3") << true;
        QTest::newRow("local path") << QStringLiteral("/usr/bin/xterm") << false;
        QTest::newRow("file") << QStringLiteral("file:///etc/passwd") << false;
        QTest::newRow("smb") << QStringLiteral("smb://host/share") << false;
        QTest::newRow("custom scheme") << QStringLiteral("steam://run/1") << false;
        QTest::newRow("desktop file") << QStringLiteral("evil.desktop") << false;
        QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)") << false;
        QTest::newRow("no host") << QStringLiteral("http:///etc/passwd") << false;
        QTest::newRow("only a port") << QStringLiteral("http://:80/") << false;
        QTest::newRow("only a user part") << QStringLiteral("http://@evil.example/") << false;
        QTest::newRow("a blank") << QStringLiteral("http://a.cn/x y") << false;
        QTest::newRow("a line break") << QStringLiteral("http://a.cn/\n--x") << false;
        QTest::newRow("a list entry's link remainder")
            << QStringLiteral("m?rn=&tn=baidump3&ct=134217728&word=A") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void webAddress() {
        QFETCH(QString, address);
        QFETCH(bool, web);
        QCOMPARE(isWebAddress(address.toStdString()), web);
    }
    void dialogFilter_data() {
        QTest::addColumn<QString>("pairs");
        QTest::addColumn<QString>("filter");
        // Each description as written, its patterns once more at the end, where Qt reads them.
        QTest::newRow("save dialog")
            << QStringLiteral("real播放列表(*.rpm)|*.rpm|winmedia播放列表(*.asf)|*.asf")
            << QStringLiteral("real播放列表(*.rpm) (*.rpm);;winmedia播放列表(*.asf) (*.asf)");
        QTest::newRow("two patterns, a description naming only the last")
            << QStringLiteral("real列表(*.rpm);winmedia列表(*.asx)|*.rpm;*.asx")
            << QStringLiteral("real列表(*.rpm);winmedia列表(*.asx) (*.rpm *.asx)");
        QTest::newRow("empty patterns left out")
            << QStringLiteral("图片|*.jpg;;*.gif;") << QStringLiteral("图片 (*.jpg *.gif)");
        QTest::newRow("description without patterns") << QStringLiteral("all") << QString();
    }
    void dialogFilter() {
        QFETCH(QString, pairs);
        QFETCH(QString, filter);
        QCOMPARE(QString::fromStdString(fileDialogFilter(pairs.toStdString())), filter);
    }

    void atomicReplace() {
        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("page.html")).toStdString();
        QVERIFY(!writeFileAtomically(path, "old"));
        QVERIFY(!writeFileAtomically(path, "new text", true));
        QCOMPARE(readAll(path), std::string("new text"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);  // no temporary left
    }
    // State files are written from several threads at once; none may touch the process's
    // umask on the way, and each file gets the mode that umask gives.
    void writersLeaveTheUmaskAlone() {
        const mode_t before = ::umask(027);
        QTemporaryDir dir;
        std::atomic<int> running{3};
        std::vector<std::thread> writers;
        for (int t = 0; t < 3; ++t) {
            writers.emplace_back([&, t] {
                const std::string path = dir.filePath(QStringLiteral("s%1").arg(t)).toStdString();
                for (int i = 0; i < 400; ++i) writeFileAtomically(path, std::to_string(i));
                --running;
            });
        }
        int seen = 0;
        bool changed = false;
        while (running > 0) {
            changed = changed || reportedUmask() != 027;
            ++seen;
        }
        for (auto& w : writers) w.join();
        ::umask(before);
        QVERIFY(seen > 0);
        QVERIFY(!changed);
        struct stat st {};
        QCOMPARE(::stat(dir.filePath(QStringLiteral("s0")).toLocal8Bit().constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0640));
    }
    void failedWriteKeepsOldFile() {
        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("list.asx")).toStdString();
        QVERIFY(!writeFileAtomically(path, "whole old file"));
        // A file-size limit makes the write itself fail half-way.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 4;
        setrlimit(RLIMIT_FSIZE, &small);
        const auto error = writeFileAtomically(path, std::string(100, 'x'));
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(error.has_value());
        QVERIFY(error->find("list.asx") != std::string::npos);
        QCOMPARE(readAll(path), std::string("whole old file"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
        QVERIFY(
            writeFileAtomically(dir.filePath(QStringLiteral("no/such/dir")).toStdString(), "x"));
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "test_core.moc"
