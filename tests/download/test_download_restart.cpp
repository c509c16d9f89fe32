// Downloads that survive a restart: the state file beside a .part and the queue file as
// rules, then the download driver killed with SIGKILL half-way and started again, against
// the local service's paced fault files and nginx.
#include <signal.h>
#include <sys/stat.h>
#include <utime.h>

#include <QtTest>
#include <fstream>
#include <functional>
#include <random>

#include "download/partfiles.h"
#include "download/queuefile.h"
#include "download/resumestate.h"
#include "tests/support/files.h"
#include "tests/support/nginxserver.h"
#include "tests/support/servicerun.h"

using namespace melorin::download;
using namespace melorin::testing;

namespace {

constexpr std::int64_t kFileSize = 20 << 20;

// The byte rule of the service's fault files.
QByteArray faultContent(std::int64_t size) {
    QByteArray b(static_cast<qsizetype>(size), Qt::Uninitialized);
    for (std::int64_t i = 0; i < size; ++i)
        b[static_cast<qsizetype>(i)] = static_cast<char>((i ^ (i >> 8) ^ (i >> 16)) * 167 + 13);
    return b;
}

// FNV-1a, as the state file's check line uses it: to build files whose check is right but
// whose content is not.
QByteArray withCheck(const QByteArray& body) {
    std::uint64_t h = 1469598103934665603ull;
    for (char c : body) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return body + "check " + QByteArray::number(qulonglong(h), 16).rightJustified(16, '0') + "\n";
}

std::int64_t savedBytes(const QString& statePath) {
    const auto state = decodeResumeState(fileBytes(statePath).toStdString());
    return state ? rangeBytes(state->received) : 0;
}

struct DriverRun {
    int exitCode = -1;
    QString log;  // its standard error
};

void startDriver(QProcess& p, const QString& url, const QString& savePath,
                 const QString& queueFile) {
    p.setProcessChannelMode(QProcess::SeparateChannels);
    QStringList args;
    if (!queueFile.isEmpty()) args << QStringLiteral("--queue") << queueFile;
    p.start(QStringLiteral(MELORIN_FETCH), args << url << savePath << QStringLiteral("5"));
}

DriverRun endOf(QProcess& p) {
    DriverRun r;
    p.waitForFinished(120000);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.log = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Runs the driver once for one row; it is killed with SIGKILL as soon as `killWhen` says so
// (looked at every 5 ms while it runs), or runs to its end when there is none.
DriverRun runDriver(const QString& url, const QString& savePath, const QString& queueFile,
                    const std::function<bool()>& killWhen) {
    QProcess p;
    startDriver(p, url, savePath, queueFile);
    if (!p.waitForStarted(10000)) return {};
    if (killWhen) {
        QElapsedTimer t;
        t.start();
        while (!killWhen() && t.elapsed() < 60000 && p.state() == QProcess::Running)
            QTest::qWait(5);
        ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
    }
    return endOf(p);
}

// ...killed as soon as the state file names `killAt` bytes (never when 0).
DriverRun runDriver(const QString& url, const QString& savePath, const QString& queueFile,
                    std::int64_t killAt = 0) {
    const QString state = QString::fromStdString(statePathFor(savePath.toStdString()));
    if (killAt <= 0) return runDriver(url, savePath, queueFile, std::function<bool()>());
    return runDriver(url, savePath, queueFile, [&] { return savedBytes(state) >= killAt; });
}

}  // namespace

class DownloadRestartTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    ServiceRun service;
    QString sentLog;

    // Body bytes the service sent for one fault file so far.
    std::int64_t sentFor(const QByteArray& name) {
        QFile f(sentLog);
        if (!f.open(QIODevice::ReadOnly)) return -1;
        std::int64_t n = 0;
        for (const QByteArray& line : f.readAll().split('\n')) {
            const qsizetype sp = line.indexOf(' ');
            if (sp > 0 && line.mid(sp + 1).startsWith("/fault/" + name + "?"))
                n += line.left(sp).toLongLong();
        }
        return n;
    }
    QString pacedUrl(const QByteArray& name) {
        // Five connections at 2 MiB/s each, paced finely (nginx sends a second ahead).
        return QStringLiteral("http://127.0.0.1:%1/fault/%2?size=%3&rate=2097152&id=%2")
            .arg(service.port())
            .arg(QString::fromLatin1(name))
            .arg(kFileSize);
    }

private slots:
    void initTestCase() {
        sentLog = dir.path() + QStringLiteral("/sent.log");
        QVERIFY2(service.start({QStringLiteral("--faults"), QStringLiteral("--sent-log"), sentLog}),
                 qPrintable(service.error()));
    }

    void stateRoundTrip() {
        ResumeState s{"http://h:80/a b", 5000, "\"e-1\"", {{0, 10}, {100, 200}, {4000, 5000}}};
        QCOMPARE(decodeResumeState(encodeResumeState(s)), std::optional<ResumeState>(s));
        ResumeState none{"http://h:80/x", 7, "", {}};
        QCOMPARE(decodeResumeState(encodeResumeState(none)), std::optional<ResumeState>(none));
        // The encoder merges what touches.
        ResumeState touching{"u", 100, "", {{50, 60}, {0, 10}, {10, 20}}};
        QCOMPARE(decodeResumeState(encodeResumeState(touching))->received,
                 (std::vector<ByteRange>{{0, 20}, {50, 60}}));
    }

    void damagedState_data() {
        QTest::addColumn<QByteArray>("text");
        const QByteArray good =
            QByteArray::fromStdString(encodeResumeState({"http://h:80/a", 1000, "v", {{0, 500}}}));
        QByteArray flipped = good;
        flipped[good.indexOf("500")] = '6';
        QTest::newRow("a digit changed") << flipped;
        QTest::newRow("cut short") << good.left(good.size() - 5);
        QTest::newRow("no check line") << good.left(good.indexOf("check "));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbage") << QByteArray("\x00\x01\xff", 3);
        const QByteArray head = "melorin-part 1\nurl http://h:80/a\nlength 1000\nvalidator v\n";
        QTest::newRow("right check, range past the end") << withCheck(head + "received 0-1001\n");
        QTest::newRow("right check, ranges overlap")
            << withCheck(head + "received 0-500 400-600\n");
        QTest::newRow("right check, unsorted") << withCheck(head + "received 500-600 0-10\n");
        QTest::newRow("right check, empty range") << withCheck(head + "received 5-5\n");
        QTest::newRow("right check, line missing")
            << withCheck("melorin-part 1\nurl http://h:80/a\nlength 1000\nreceived 0-1\n");
        QTest::newRow("right check, other version")
            << withCheck("melorin-part 2\nurl u\nlength 10\nvalidator \nreceived\n");
        QTest::newRow("right check, zero length")
            << withCheck("melorin-part 1\nurl u\nlength 0\nvalidator \nreceived\n");
    }
    void damagedState() {
        QFETCH(QByteArray, text);
        QVERIFY(!decodeResumeState(text.toStdString()).has_value());
    }

    void resumeDecision_data() {
        QTest::addColumn<bool>("hasState");
        QTest::addColumn<qint64>("partSize");
        QTest::addColumn<QString>("url");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<QString>("validator");
        QTest::addColumn<int>("verdict");
        const int fresh = int(ResumeVerdict::Fresh), resume = int(ResumeVerdict::Resume),
                  changed = int(ResumeVerdict::Changed), mismatch = int(ResumeVerdict::Mismatch);
        // The state on file: "http://h:80/a", 1000 bytes, validator "v1".
        QTest::newRow("matches") << true << 1000LL << "http://h:80/a" << 1000LL << "v1" << resume;
        QTest::newRow("no state file")
            << false << 1000LL << "http://h:80/a" << 1000LL << "v1" << fresh;
        QTest::newRow("another address")
            << true << 1000LL << "http://h:80/b" << 1000LL << "v1" << mismatch;
        QTest::newRow(".part of another length")
            << true << 999LL << "http://h:80/a" << 1000LL << "v1" << mismatch;
        QTest::newRow(".part longer than the state's file")
            << true << 1001LL << "http://h:80/a" << 1000LL << "v1" << mismatch;
        QTest::newRow("no .part") << true << -1LL << "http://h:80/a" << 1000LL << "v1" << mismatch;
        QTest::newRow("server's length changed")
            << true << 1000LL << "http://h:80/a" << 2000LL << "v1" << changed;
        QTest::newRow("validator changed")
            << true << 1000LL << "http://h:80/a" << 1000LL << "v2" << changed;
        QTest::newRow("validator gone")
            << true << 1000LL << "http://h:80/a" << 1000LL << "" << changed;
    }
    void resumeDecision() {
        QFETCH(bool, hasState);
        QFETCH(qint64, partSize);
        QFETCH(QString, url);
        QFETCH(qint64, length);
        QFETCH(QString, validator);
        QFETCH(int, verdict);
        const std::optional<std::string> state =
            hasState ? std::optional(encodeResumeState({"http://h:80/a", 1000, "v1", {{0, 10}}}))
                     : std::nullopt;
        const ResumeDecision d =
            decideResume(state, partSize, url.toStdString(), length, validator.toStdString());
        QCOMPARE(int(d.verdict), verdict);
        // Every start from zero over an existing state file is said in the log.
        const bool quiet =
            verdict == int(ResumeVerdict::Fresh) || verdict == int(ResumeVerdict::Resume);
        QCOMPARE(d.reason.empty(), quiet);
    }

    void queueFile() {
        constexpr auto File = melorin::core::RowShape::File;
        const std::vector<DownloadJob> rows{
            {{File, "1", 0, "歌\t名", "http://h/a?b=1", "3.5 M", "mp3"}, "/m/歌\t名.mp3"},
            {{File, "2", 4, "a\\b\nc\r", "h:81/x", "", ""}, "/m/a\\b_c."}};
        const DecodedQueue back = decodeQueue(encodeQueue(rows));
        QVERIFY(back.known);
        QCOMPARE(back.damagedLines, 0);
        QCOMPARE(back.rows.size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            QCOMPARE(QString::fromStdString(back.rows[i].title),
                     QString::fromStdString(rows[i].title));
            QCOMPARE(back.rows[i].icon, rows[i].icon);
            QCOMPARE(QString::fromStdString(back.rows[i].savePath),
                     QString::fromStdString(rows[i].savePath));
        }
        // A damaged line is left out and counted; the others still come back.
        std::string text = encodeQueue(rows);
        text.insert(text.find('\n') + 1, "only\ttwo\n");
        text += "1\t0\tcut\thttp://h/c\t\tmp3\t/m/c";  // the last line lost its end
        const DecodedQueue partly = decodeQueue(text);
        QCOMPARE(partly.rows.size(), rows.size());
        QCOMPARE(partly.damagedLines, 2);
        QVERIFY(!decodeQueue("something else\n").known);
        QVERIFY(decodeQueue(encodeQueue({})).rows.empty());
    }

    // Killed half-way, started again: byte-exact, and what was fetched twice stays within the
    // bytes of a save interval or two (about 1 MiB here; 2 MiB allowed).
    void killedAndStartedAgain() {
        const QString save = dir.path() + QStringLiteral("/k1.bin");
        const QString queue = dir.path() + QStringLiteral("/k1.queue");
        const DriverRun killed = runDriver(pacedUrl("k1"), save, queue, kFileSize / 2);
        QCOMPARE(killed.exitCode, -1);
        QVERIFY(QFile::exists(queue));
        QVERIFY(!QFile::exists(save));
        const std::int64_t kept = savedBytes(save + QStringLiteral(".part.state"));
        QVERIFY2(kept >= kFileSize / 2, qPrintable(QString::number(kept)));

        const DriverRun again = runDriver(pacedUrl("k1"), save, queue);
        QCOMPARE(again.exitCode, 0);
        QVERIFY2(again.log.contains(QStringLiteral("1 unfinished downloads back")),
                 qPrintable(again.log));
        QVERIFY2(again.log.contains(QStringLiteral("接着上次下载")), qPrintable(again.log));
        QVERIFY(fileBytes(save) == faultContent(kFileSize));
        QVERIFY(!QFile::exists(save + QStringLiteral(".part")));
        QVERIFY(!QFile::exists(save + QStringLiteral(".part.state")));
        QVERIFY(!QFile::exists(queue));  // nothing unfinished is left
        QTRY_VERIFY_WITH_TIMEOUT(sentFor("k1") >= kFileSize, 5000);
        const std::int64_t twice = sentFor("k1") - kFileSize;
        QVERIFY2(twice <= 2 << 20, qPrintable(QString::number(twice)));
    }

    // Killed half-way, started again and killed right after its first state write, started a
    // third time: the state file only ever grows, so the third run goes on from at least what
    // the first had.
    void killedTwiceKeepsTheFirstRunsBytes() {
        const QString save = dir.path() + QStringLiteral("/k4.bin");
        const QString queue = dir.path() + QStringLiteral("/k4.queue");
        const QString state = save + QStringLiteral(".part.state");
        runDriver(pacedUrl("k4"), save, queue, kFileSize / 2);
        const QByteArray first = fileBytes(state);
        const std::int64_t kept = savedBytes(state);
        QVERIFY2(kept >= kFileSize / 2, qPrintable(QString::number(kept)));
        const DriverRun second =
            runDriver(pacedUrl("k4"), save, queue, [&] { return fileBytes(state) != first; });
        QCOMPARE(second.exitCode, -1);
        QVERIFY(savedBytes(state) >= kept);
        const DriverRun third = runDriver(pacedUrl("k4"), save, queue);
        QCOMPARE(third.exitCode, 0);
        const QRegularExpression resumed(QStringLiteral("接着上次下载，已有(\\d+)字节"));
        const QRegularExpressionMatch m = resumed.match(third.log);
        QVERIFY2(m.hasMatch(), qPrintable(third.log));
        QVERIFY2(m.captured(1).toLongLong() >= kept, qPrintable(third.log));
        QVERIFY(fileBytes(save) == faultContent(kFileSize));
    }

    // Two copies of the driver on one save path, from two sources: the first keeps its .part to
    // itself and completes with its own bytes only; the second fails with its log line.
    void twoWritersOneFile() {
        QTemporaryDir serverDir;
        NginxServer nginx(serverDir.path().toStdString(), "2m");
        QVERIFY(nginx.running());
        std::mt19937 rng(5);
        std::string other(static_cast<std::size_t>(kFileSize), '\0');
        for (auto& c : other) c = static_cast<char>(rng());
        std::ofstream(nginx.www() + "/other.mp3", std::ios::binary) << other;
        const QString save = dir.path() + QStringLiteral("/two.mp3");
        const QString state = save + QStringLiteral(".part.state");

        QProcess first;
        startDriver(first, pacedUrl("two"), save, {});
        QVERIFY(first.waitForStarted(10000));
        QVERIFY(QTest::qWaitFor([&] { return savedBytes(state) > 0; }, 20000));
        QProcess second;
        startDriver(second, QStringLiteral("http://127.0.0.1:%1/other.mp3").arg(nginx.port()), save,
                    {});
        const DriverRun refused = endOf(second);
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.log.contains(QStringLiteral("正由另一个下载写入")),
                 qPrintable(refused.log));
        QVERIFY(first.state() == QProcess::Running);  // it was still writing meanwhile
        const DriverRun done = endOf(first);
        QCOMPARE(done.exitCode, 0);
        QVERIFY(fileBytes(save) == faultContent(kFileSize));
        QVERIFY(!QFile::exists(save + QStringLiteral(" (2).mp3")));
    }

    void damagedStateIsIgnored() {
        const QString save = dir.path() + QStringLiteral("/k2.bin");
        const QString queue = dir.path() + QStringLiteral("/k2.queue");
        runDriver(pacedUrl("k2"), save, queue, kFileSize / 3);
        const QString state = save + QStringLiteral(".part.state");
        QByteArray text = fileBytes(state);
        QVERIFY(text.contains("received 0-"));
        text.replace("received 0-", "received 0-9");  // claims bytes that never came
        QFile f(state);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
        f.close();
        const std::int64_t before = sentFor("k2");
        const DriverRun again = runDriver(pacedUrl("k2"), save, queue);
        QCOMPARE(again.exitCode, 0);
        QVERIFY2(again.log.contains(QStringLiteral("断点记录已损坏，从头下载")),
                 qPrintable(again.log));
        QVERIFY(fileBytes(save) == faultContent(kFileSize));
        QTRY_VERIFY_WITH_TIMEOUT(sentFor("k2") - before >= kFileSize, 5000);  // all of it again
    }

    void changedFileStartsOver() {
        QTemporaryDir serverDir;
        NginxServer nginx(serverDir.path().toStdString(), "2m");
        QVERIFY(nginx.running());
        const std::string served = nginx.www() + "/slow/song.mp3";
        auto writeServed = [&](unsigned seed, std::time_t mtime) {
            std::mt19937 rng(seed);
            std::string data(static_cast<std::size_t>(kFileSize), '\0');
            for (auto& c : data) c = static_cast<char>(rng());
            std::ofstream(served, std::ios::binary) << data;
            const utimbuf times{mtime, mtime};
            ::utime(served.c_str(), &times);  // nginx's ETag holds the time
        };
        writeServed(1, 1700000000);
        const QString url = QStringLiteral("http://127.0.0.1:%1/slow/song.mp3").arg(nginx.port());
        const QString save = dir.path() + QStringLiteral("/k3.mp3");
        const QString queue = dir.path() + QStringLiteral("/k3.queue");
        runDriver(url, save, queue, kFileSize / 3);
        QVERIFY(savedBytes(save + QStringLiteral(".part.state")) > 0);
        writeServed(2, 1700000100);  // same length, other bytes, other ETag
        const DriverRun again = runDriver(url, save, queue);
        QCOMPARE(again.exitCode, 0);
        QVERIFY2(again.log.contains(QStringLiteral("服务器上的文件已经改变，从头下载")),
                 qPrintable(again.log));
        QVERIFY(fileBytes(save) == fileBytes(QString::fromStdString(served)));
    }
};

QTEST_GUILESS_MAIN(DownloadRestartTest)
#include "test_download_restart.moc"
