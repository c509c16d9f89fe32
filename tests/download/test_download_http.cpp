// Real transfers over loopback: nginx for ordinary and throttled files, the
// local service's fault files (melorin-service --faults) for broken answers. Each download ends
// byte-exact or as a reported failure.
#include <QtTest>
#include <algorithm>
#include <fstream>
#include <random>

#include "download/curltransfer.h"
#include "download/downloader.h"
#include "tests/support/files.h"
#include "tests/support/nginxserver.h"
#include "tests/support/servicerun.h"
#include "tests/support/skipclock.h"

using namespace melorin::download;
using namespace melorin::testing;

namespace {

QByteArray sha256(const QByteArray& b) {
    return QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex();
}

struct RunResult {
    std::vector<RowState> states;
    std::vector<std::string> paths;
    std::vector<std::string> log;
    bool ended = false;
    int peakWorkers = 0;  // the most connections seen running at once
};

// The back-off's minute passes at once.
FetchOptions quickOptions() {
    FetchOptions o;
    o.connectTimeout = std::chrono::milliseconds(3000);
    o.stallSeconds = 10;
    o.clock = std::make_shared<SkipClock>();
    return o;
}

// Downloads the addresses into dir (one row each), waits at most `limit`.
// `samePath`: every row has the save path of row 0 (one title from several sources).
RunResult download(const std::vector<std::string>& addresses, const QString& dir, int workers = 5,
                   std::chrono::seconds limit = std::chrono::seconds(60), bool samePath = false) {
    Downloader dl(std::make_unique<CurlNetwork>(quickOptions()));
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        DownloadJob job;
        job.title = "f" + std::to_string(samePath ? 0 : i);
        job.address = addresses[i];
        job.type = "bin";
        job.savePath = dir.toStdString() + "/" + job.title + ".bin";
        dl.addJob(job);
    }
    RunResult r;
    if (!dl.start({workers, "s", dir.toStdString()})) return r;
    // A file has ended when its row leaves Running (its workers end a moment before).
    auto running = [&] {
        if (dl.passRunning()) return true;
        for (std::size_t i = 0; i < addresses.size(); ++i)
            if (dl.rowState(int(i)) == RowState::Running) return true;
        return false;
    };
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline && running()) {
        r.peakWorkers = std::max(r.peakWorkers, dl.snapshot().runningWorkers);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    r.ended = !running() && dl.snapshot().runningWorkers == 0;
    dl.stopAll();
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        r.states.push_back(dl.rowState(int(i)));
        r.paths.push_back(dl.job(int(i)).savePath);
    }
    r.log = logLinesOf(dl.takeEvents());
    return r;
}

// The byte rule of the service's fault files.
unsigned char faultByte(std::int64_t i) {
    return static_cast<unsigned char>((i ^ (i >> 8) ^ (i >> 16)) * 167 + 13);
}

// Request lines of the service's log whose target starts with `prefix`.
int requestsTo(const QString& log, const QByteArray& prefix) {
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    int n = 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("GET " + prefix)) ++n;
    return n;
}

QByteArray faultContent(std::int64_t size) {
    QByteArray b(static_cast<qsizetype>(size), Qt::Uninitialized);
    for (std::int64_t i = 0; i < size; ++i)
        b[static_cast<qsizetype>(i)] = static_cast<char>(faultByte(i));
    return b;
}

}  // namespace

class DownloadHttpTest : public QObject {
    Q_OBJECT
    QTemporaryDir serverDir;
    std::unique_ptr<NginxServer> nginx;
    ServiceRun service;
    QString serviceLog;
    int brokenRun = 0;

    std::string writeServed(const std::string& name, std::int64_t size) {
        std::mt19937_64 rng(static_cast<unsigned long>(size));
        std::string data(static_cast<std::size_t>(size), '\0');
        for (auto& c : data) c = static_cast<char>(rng());
        std::ofstream(nginx->www() + "/" + name, std::ios::binary) << data;
        return nginx->www() + "/" + name;
    }

private slots:
    void initTestCase() {
        nginx = std::make_unique<NginxServer>(serverDir.path().toStdString(), "512k");
        QVERIFY2(nginx->running(), "nginx did not start");
        serviceLog = serverDir.path() + QStringLiteral("/service.log");
        QVERIFY2(service.start({QStringLiteral("--faults"), QStringLiteral("--log"), serviceLog}),
                 qPrintable(service.error()));
    }
    void cleanupTestCase() { nginx.reset(); }

    void nginxFiles_data() {
        QTest::addColumn<QList<qint64>>("sizes");
        QTest::addColumn<bool>("slow");
        QTest::addColumn<int>("workers");
        QTest::newRow("three at once") << QList<qint64>{3 << 20, 1000001, 7} << false << 5;
        QTest::newRow("four rows, fourth waits")
            << QList<qint64>{100000, 200000, 300000, 400000} << false << 5;
        // nginx sends a second's worth of a throttled answer at once: each of the five ranges
        // is larger than that, so the file takes a while over any number of connections.
        QTest::newRow("throttled, five ranges") << QList<qint64>{4 << 20} << true << 5;
        QTest::newRow("one worker") << QList<qint64>{777777} << false << 1;
    }
    void nginxFiles() {
        QFETCH(QList<qint64>, sizes);
        QFETCH(bool, slow);
        QFETCH(int, workers);
        QTemporaryDir out;
        std::vector<std::string> addresses, served;
        for (int i = 0; i < sizes.size(); ++i) {
            std::string name = (slow ? "slow/" : "") +
                               std::string(QTest::currentDataTag()).substr(0, 3) +
                               std::to_string(i);
            served.push_back(writeServed(name, sizes[i]));
            // Without scheme, with explicit port: both must work.
            addresses.push_back((i % 2 ? "http://" : "") + std::string("127.0.0.1:") +
                                std::to_string(nginx->port()) + "/" + name);
        }
        auto r = download(addresses, out.path(), workers);
        QVERIFY(r.ended);
        for (int i = 0; i < sizes.size(); ++i) {
            QCOMPARE(r.states[i], RowState::Finished);
            QCOMPARE(
                sha256(fileBytes(out.path().toStdString() + "/f" + std::to_string(i) + ".bin")),
                sha256(fileBytes(served[i])));
        }
        QVERIFY(r.log.empty());
        // The throttled file comes over several connections at once (bench/download-bench.sh
        // measures what that gains).
        if (slow) QVERIFY2(r.peakWorkers > 1, qPrintable(QString::number(r.peakWorkers)));
    }

    // Rows of one title from a few sources: each gets its own file, each byte-exact.
    void sameTitleFromThreeSources() {
        QTemporaryDir out;
        std::vector<std::string> addresses, served;
        for (int i = 0; i < 3; ++i) {
            std::string name = "src" + std::to_string(i);
            served.push_back(writeServed(name, 500000 + i));
            addresses.push_back("127.0.0.1:" + std::to_string(nginx->port()) + "/" + name);
        }
        auto r = download(addresses, out.path(), 5, std::chrono::seconds(60), true);
        QVERIFY(r.ended);
        const std::string base = out.path().toStdString() + "/f0";
        QCOMPARE(r.paths,
                 (std::vector<std::string>{base + ".bin", base + " (2).bin", base + " (3).bin"}));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(r.states[i], RowState::Finished);
            QCOMPARE(sha256(fileBytes(r.paths[i])), sha256(fileBytes(served[i])));
            QVERIFY(!QFile::exists(QString::fromStdString(r.paths[i] + ".part")));
        }
    }

    void brokenAnswers_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("logPart");
        // The probe included; -1: not counted; a failure at once is at most one per worker.
        QTest::addColumn<int>("requests");
        QTest::newRow("clean") << "" << qint64(1000000) << true << "" << 6;
        QTest::newRow("cut once, resumed")
            << "cut=70000&once=1&id=a" << qint64(1000000) << true << "" << 7;
        QTest::newRow("every answer cut, each resumed at once")
            << "cut=30000" << qint64(1000000) << true << "" << -1;
        QTest::newRow("every answer cut before its body")
            << "cut=0" << qint64(1000000) << false << "下载失败!" << -1;
        QTest::newRow("ranges ignored") << "norange=1" << qint64(1000000) << true << "" << -1;
        QTest::newRow("ranges ignored, cut once")
            << "norange=1&cut=300000&once=1&id=b" << qint64(1000000) << true << "" << -1;
        QTest::newRow("no length") << "nolength=1" << qint64(5000) << false << "不能下载：" << 1;
        QTest::newRow("error page") << "status=404" << qint64(5000) << false << "404" << 1;
        // Statuses answered to the workers' ranged requests: 429 is tried again, 404 fails at
        // once, 503 is tried again until the workers give up (16 requests each).
        QTest::newRow("429 once, tried again")
            << "rangedstatus=429&once=1&id=c" << qint64(1000000) << true << "" << 7;
        QTest::newRow("404 for every range")
            << "rangedstatus=404" << qint64(1000000) << false << "404" << 6;
        QTest::newRow("503 for every range")
            << "rangedstatus=503" << qint64(1000000) << false << "503" << 81;
        QTest::newRow("redirects") << "redirect=5" << qint64(300000) << true << "" << -1;
        QTest::newRow("too many redirects")
            << "redirect=6" << qint64(300000) << false << "不能下载：" << -1;
        QTest::newRow("trickle") << "trickle=20000" << qint64(200000) << true << "" << -1;
        QTest::newRow("longer than announced")
            << "longer=5000" << qint64(100000) << true << "" << -1;
        QTest::newRow("tiny file") << "" << qint64(3) << true << "" << 4;
        QTest::newRow("expired link: a web page")
            << "page=1" << qint64(5000) << false << "下载失败!服务器返回的是网页" << 1;
    }
    void brokenAnswers() {
        QFETCH(QString, query);
        QFETCH(qint64, size);
        QFETCH(bool, complete);
        QFETCH(QString, logPart);
        QFETCH(int, requests);
        QTemporaryDir out;
        const QByteArray name = "/fault/b" + QByteArray::number(++brokenRun) + "?";
        std::string address = "127.0.0.1:" + std::to_string(service.port()) + name.toStdString() +
                              "size=" + std::to_string(size) +
                              (query.isEmpty() ? "" : "&" + query.toStdString());
        // An earlier file of the save path is never touched: the row gets a name of its own.
        const std::string saved = out.path().toStdString() + "/f0.bin";
        std::ofstream(saved, std::ios::binary) << "earlier file";
        auto r = download({address}, out.path(), 5, std::chrono::seconds(30));
        QVERIFY(r.ended);
        QCOMPARE(r.paths[0], out.path().toStdString() + "/f0 (2).bin");
        QCOMPARE(fileBytes(saved), QByteArray("earlier file"));
        if (complete) {
            QCOMPARE(r.states[0], RowState::Finished);
            const QByteArray got = fileBytes(r.paths[0]);
            QCOMPARE(got.size(), qsizetype(size));
            QVERIFY(got == faultContent(size));
            QVERIFY(!QFile::exists(QString::fromStdString(partPathFor(r.paths[0]))));
            QVERIFY(r.log.empty());
        } else {
            QVERIFY(r.states[0] == RowState::Failed || r.states[0] == RowState::Refused);
            QCOMPARE(r.log.size(), std::size_t(1));
            QVERIFY2(QString::fromStdString(r.log[0]).contains(logPart), r.log[0].c_str());
            QVERIFY(QString::fromStdString(r.log[0]).startsWith(u"f0"));
            QVERIFY(!QFile::exists(QString::fromStdString(r.paths[0])));
        }
        if (requests >= 0 && (complete || query.contains(u"503")))
            QCOMPARE(requestsTo(serviceLog, name), requests);
        else if (requests >= 0)
            QVERIFY(requestsTo(serviceLog, name) <= requests);
    }

    // The music files the program fetches are known by their first bytes and pass.
    void musicFilesPass_data() {
        QTest::addColumn<QByteArray>("kind");
        for (const char* k : {"mp3", "wma", "asf", "rm", "ram"}) QTest::newRow(k) << QByteArray(k);
    }
    void musicFilesPass() {
        QFETCH(QByteArray, kind);
        QTemporaryDir out;
        const QByteArray target = "/audio/sample." + kind;
        auto r = download({"127.0.0.1:" + std::to_string(service.port()) + target.toStdString()},
                          out.path(), 5, std::chrono::seconds(30));
        QVERIFY(r.ended);
        QCOMPARE(r.states[0], RowState::Finished);
        QCOMPARE(fileBytes(r.paths[0]), service.get(target).body);
    }

    // One connection of five at a tenth of the others' speed: the free workers split its
    // remainder, and the file still ends byte-exact.
    void slowConnectionIsSplit() {
        QTemporaryDir out;
        const QByteArray name = "/fault/slowone?";
        const std::int64_t size = 8 << 20;
        auto r = download({"127.0.0.1:" + std::to_string(service.port()) + name.toStdString() +
                           "size=" + std::to_string(size) +
                           "&rate=4194304&slowrate=262144&slowconn=2&id=slowone"},
                          out.path(), 5, std::chrono::seconds(60));
        QVERIFY(r.ended);
        QCOMPARE(r.states[0], RowState::Finished);
        QVERIFY(fileBytes(r.paths[0]) == faultContent(size));
        QVERIFY2(requestsTo(serviceLog, name) > 6, "no piece was split");
    }

    void stopInTheMiddle() {
        QTemporaryDir out;
        Downloader dl(std::make_unique<CurlNetwork>(quickOptions()));
        DownloadJob job;
        job.title = "slow";
        job.address =
            "127.0.0.1:" + std::to_string(service.port()) + "/fault/s?size=5000000&trickle=1000";
        job.savePath = out.path().toStdString() + "/slow.bin";
        std::ofstream(job.savePath, std::ios::binary) << "earlier file";
        const std::string savePath = dl.job(dl.addJob(job)).savePath;
        QCOMPARE(savePath, out.path().toStdString() + "/slow (2).bin");
        QVERIFY(dl.start({5, "s", out.path().toStdString()}));
        QTRY_VERIFY_WITH_TIMEOUT(dl.snapshot().totalBytes > 0, 10000);
        dl.stopAll();
        QCOMPARE(dl.snapshot().runningWorkers, 0);
        // Stopped, not failed: the row waits, and its bytes are named for the next start.
        QCOMPARE(dl.rowState(0), RowState::Waiting);
        QCOMPARE(fileBytes(job.savePath), QByteArray("earlier file"));
        QCOMPARE(fileBytes(partPathFor(savePath)).size(), qsizetype(5000000));
        const auto state = decodeResumeState(fileBytes(statePathFor(savePath)).toStdString());
        QVERIFY(state.has_value());
        QVERIFY(rangeBytes(state->received) > 0);
        QVERIFY(rangeBytes(state->received) < 5000000);  // the trickle was cut, not waited for
    }
};

QTEST_GUILESS_MAIN(DownloadHttpTest)
#include "test_download_http.moc"
