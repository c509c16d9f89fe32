// The download core against a server that misbehaves on purpose (tests/support/hostileserver.h):
// files that change under the download, outages, answers of a byte, encodings, odd lengths.
// Every case ends byte-exact or failed with its reason, and keeps on disk what arrived. The
// back-off's pauses pass on a clock that skips them, which the server's outages are measured on.
#include <QtTest>

#include "download/curltransfer.h"
#include "download/downloader.h"
#include "tests/support/files.h"
#include "tests/support/hostileserver.h"
#include "tests/support/skipclock.h"

using namespace melorin::download;
using namespace melorin::testing;

namespace {

bool exists(const std::string& path) {
    return QFile::exists(QString::fromStdString(path));
}

std::int64_t savedBytes(const std::string& savePath) {
    const auto state = decodeResumeState(fileBytes(statePathFor(savePath)).toStdString());
    return state ? rangeBytes(state->received) : 0;
}

bool passEnds(const Downloader& dl) {
    QDeadlineTimer deadline(90000);
    while (dl.busy() && !deadline.hasExpired()) QTest::qWait(10);
    return !dl.busy();
}

QString joined(const std::vector<std::string>& lines) {
    QStringList out;
    for (const auto& l : lines) out << QString::fromStdString(l);
    return out.join(u'\n');
}

}  // namespace

class DownloadHostileTest : public QObject {
    Q_OBJECT
private slots:
    void hostileServer_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("state");    // RowState at the end of the pass
        QTest::addColumn<int>("version");  // of the bytes a complete file must hold
        QTest::addColumn<QString>("logPart");
        QTest::addColumn<bool>("bytesKept");  // failed with bytes on disk, named in the state
        QTest::addColumn<bool>("thenBack");   // the server comes back; the next start finishes
        QTest::addColumn<int>("waited");      // seconds of back-off at least
        const int finished = int(RowState::Finished), failed = int(RowState::Failed),
                  refused = int(RowState::Refused);
        QTest::newRow("new ETag after the probe, If-Range ignored")
            << "change=2" << 1000000LL << finished << 2 << "服务器上的文件已经改变，从头下载"
            << false << false << 0;
        QTest::newRow("new ETag after the probe, If-Range honoured")
            << "change=2&ifrange=1" << 1000000LL << finished << 2
            << "服务器上的文件已经改变，从头下载" << false << false << 0;
        QTest::newRow("another file at every answer")
            << "change=2&changes=1" << 1000000LL << failed << 0
            << "下载失败!服务器上的文件已经改变（已经从头下载过一次）" << false << false << 0;
        QTest::newRow("gone at 45 % for 20 s, then back")
            << "goneat=450000&gonefor=20000" << 1000000LL << finished << 1 << "" << false << false
            << 20;
        QTest::newRow("gone at 45 % for good, back after the failure")
            << "goneat=450000&gonefor=-1" << 1000000LL << failed << 1 << "下载失败!传输中断" << true
            << true << 60;
        QTest::newRow("one byte per answer") << "peranswer=1" << 100000LL << failed << 1
                                             << "下载失败!请求次数已达上限" << true << false << 0;
        QTest::newRow("gzip") << "encoding=gzip" << 100000LL << refused << 1
                              << "不能下载：服务器发来的是编码过的数据（gzip）" << false << false
                              << 0;
        QTest::newRow("length 0") << "" << 0LL << finished << 1 << "" << false << false << 0;
        QTest::newRow("absurd length") << "absurd=1" << 100000LL << failed << 1
                                       << "超过了磁盘的剩余空间" << false << false << 0;
        QTest::newRow("redirect to ftp")
            << "redirect=ftp" << 100000LL << refused << 1
            << "不能下载：服务器把下载转到了不是网页的地址" << false << false << 0;
    }
    void hostileServer() {
        QFETCH(QString, query);
        QFETCH(qint64, size);
        QFETCH(int, state);
        QFETCH(int, version);
        QFETCH(QString, logPart);
        QFETCH(bool, bytesKept);
        QFETCH(bool, thenBack);
        QFETCH(int, waited);
        QTemporaryDir out;
        auto clock = std::make_shared<SkipClock>();
        HostileServer server([clock] { return clock->now(); });
        QVERIFY(server.listening());
        FetchOptions options;
        options.connectTimeout = std::chrono::milliseconds(3000);
        options.stallSeconds = 10;
        options.clock = clock;
        Downloader dl(std::make_unique<CurlNetwork>(options));
        const std::string folder = out.path().toStdString();
        auto add = [&](const std::string& title, const std::string& target) {
            DownloadJob job;
            job.title = title;
            job.type = "mp3";
            job.address = server.url(target);
            job.savePath = folder + "/" + title + ".mp3";
            return dl.job(dl.addJob(job)).savePath;
        };
        const std::string song =
            add("song", "/song?size=" + std::to_string(size) + "&" + query.toStdString());
        // A well-behaved file beside it: whatever the other does, the pass goes on.
        const std::string clean = add("clean", "/clean?size=300000");
        const PassSettings settings{5, "search", folder};
        QElapsedTimer pass;
        pass.start();
        QVERIFY(dl.start(settings));
        QVERIFY(passEnds(dl));
        const auto realTime = std::chrono::milliseconds(pass.elapsed());
        const std::vector<std::string> log = logLinesOf(dl.takeEvents());
        QCOMPARE(dl.rowState(1), RowState::Finished);
        QVERIFY(fileBytes(clean) == QByteArray::fromStdString(hostileFile(300000, 1)));

        QVERIFY2(int(dl.rowState(0)) == state, qPrintable(joined(log)));
        QVERIFY2(joined(log).contains(logPart), qPrintable(joined(log)));
        // The outage was waited out with growing pauses, not given up after a few seconds. The
        // clock's time is what it skipped plus what really passed (much under a slow build).
        QVERIFY2(clock->skipped() + realTime >= std::chrono::seconds(waited),
                 qPrintable(QStringLiteral("%1 ms skipped, %2 ms real")
                                .arg(clock->skipped().count())
                                .arg(realTime.count())));
        if (state == int(RowState::Finished)) {
            QVERIFY(exists(song));
            QVERIFY(fileBytes(song) == QByteArray::fromStdString(hostileFile(size, version)));
            QVERIFY(!exists(partPathFor(song)) && !exists(statePathFor(song)));
            return;
        }
        QVERIFY(!exists(song));
        const std::int64_t kept = savedBytes(song);
        QCOMPARE(kept > 0, bytesKept);
        if (bytesKept) QVERIFY(exists(partPathFor(song)));
        if (state == int(RowState::Refused) || query.contains(u"absurd"))
            QVERIFY(!exists(partPathFor(song)) && !exists(statePathFor(song)));
        if (!thenBack) return;

        // What arrived before the outage is kept: the next start goes on from it.
        QVERIFY2(kept >= 400000, qPrintable(QString::number(kept)));
        server.back("/song");
        const auto keptRanges =
            decodeResumeState(fileBytes(statePathFor(song)).toStdString())->received;
        const std::size_t askedBefore = server.ranges("/song").size();
        QVERIFY(dl.start(settings));
        QVERIFY(passEnds(dl));
        const QString again = joined(logLinesOf(dl.takeEvents()));
        QCOMPARE(dl.rowState(0), RowState::Finished);
        QVERIFY2(again.contains(QStringLiteral("song：接着上次下载，已有%1字节").arg(kept)),
                 qPrintable(again));
        QVERIFY(fileBytes(song) == QByteArray::fromStdString(hostileFile(size, 1)));
        // The second run asked only for what was missing: of a kept range at most its first
        // byte, which a request for the gap before it names as well.
        const auto asked = server.ranges("/song");
        for (std::size_t i = askedBefore; i < asked.size(); ++i) {
            for (const ByteRange& k : keptRanges) {
                const std::int64_t overlap =
                    std::min(asked[i].second + 1, k.end) - std::max(asked[i].first, k.first);
                QVERIFY2(overlap <= 1, qPrintable(QStringLiteral("%1-%2 over %3-%4")
                                                      .arg(asked[i].first)
                                                      .arg(asked[i].second)
                                                      .arg(k.first)
                                                      .arg(k.end)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(DownloadHostileTest)
#include "test_download_hostile.moc"
