// The demo service's files: audio with ranges, what each audio file is, the fault files for
// the download tests, and the request log.
#include <QtTest>

#include "tests/support/files.h"
#include "tests/support/servicerun.h"

using namespace melorin::testing;
using namespace Qt::StringLiterals;

namespace {

// The fault file content rule, written out here independently of the service's code.
QByteArray faultContent(qint64 offset, qint64 length) {
    QByteArray out(length, Qt::Uninitialized);
    for (qint64 k = 0; k < length; ++k) {
        const quint64 i = quint64(offset + k);
        out[k] = char(static_cast<unsigned char>((i ^ (i >> 8) ^ (i >> 16)) * 167 + 13));
    }
    return out;
}

QByteArray sampleFile(const QString& ext) {
    return fileBytes(QStringLiteral(MELORIN_AUDIO_DIR) + u"/sample."_s + ext);
}

}  // namespace

class ServiceFilesTest : public QObject {
    Q_OBJECT

private:
    ServiceRun service_;
    QTemporaryDir dir_;
    QString logPath_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        logPath_ = dir_.filePath(u"requests.log"_s);
        QVERIFY2(service_.start({u"--faults"_s, u"--log"_s, logPath_}),
                 qPrintable(service_.error()));
    }

    void audioRange_data() {
        QTest::addColumn<QByteArray>("range");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("last");  // -1: the file's last byte
        QTest::newRow("none") << QByteArray() << 200 << 0LL << -1LL;
        QTest::newRow("start and end") << QByteArray("bytes=0-99") << 206 << 0LL << 99LL;
        QTest::newRow("one byte") << QByteArray("bytes=5-5") << 206 << 5LL << 5LL;
        QTest::newRow("open end") << QByteArray("bytes=100-") << 206 << 100LL << -1LL;
        QTest::newRow("suffix") << QByteArray("bytes=-50") << 206 << -50LL << -1LL;
        QTest::newRow("end past the file")
            << QByteArray("bytes=1000-9999999") << 206 << 1000LL << -1LL;
        QTest::newRow("start past the file") << QByteArray("bytes=9999999-") << 416 << 0LL << 0LL;
        QTest::newRow("two ranges: whole file")
            << QByteArray("bytes=0-1,5-9") << 200 << 0LL << -1LL;
    }
    void audioRange() {
        QFETCH(QByteArray, range);
        QFETCH(int, status);
        QFETCH(qint64, first);
        QFETCH(qint64, last);
        const QByteArray file = sampleFile(u"mp3"_s);
        QVERIFY(file.size() > 2000);
        const RawAnswer a = service_.get(
            "/music/s02/001.mp3", range.isEmpty() ? QList<QByteArray>{} : QList{"Range: " + range});
        QCOMPARE(a.status, status);
        const QByteArray total = QByteArray::number(file.size());
        if (status == 416) {
            QCOMPARE(a.header("Content-Range"), "bytes */" + total);
            return;
        }
        if (first < 0) first += file.size();
        if (last < 0) last = file.size() - 1;
        QCOMPARE(a.body, file.mid(first, last - first + 1));
        QCOMPARE(a.header("Content-Length"), QByteArray::number(last - first + 1));
        QCOMPARE(a.header("Content-Type"), QByteArray("audio/mpeg"));
        if (status == 206) {
            QCOMPARE(a.header("Content-Range"), "bytes " + QByteArray::number(first) + "-" +
                                                    QByteArray::number(last) + "/" + total);
        }
    }

    // Every kind is served whole with its type, and the bytes are what the name claims.
    void audioKinds_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("mp3") << QByteArray("/music/s01/000.mp3") << u"mp3"_s
                             << QByteArray("audio/mpeg");
        QTest::newRow("rm") << QByteArray("/music/s50/015.rm") << u"rm"_s
                            << QByteArray("application/vnd.rn-realmedia");
        QTest::newRow("wma") << QByteArray("/music/s01/030.wma") << u"wma"_s
                             << QByteArray("audio/x-ms-wma");
        QTest::newRow("asf") << QByteArray("/music/s01/045.asf") << u"asf"_s
                             << QByteArray("video/x-ms-asf");
        QTest::newRow("ram") << QByteArray("/music/s01/074.ram") << u"ram"_s
                             << QByteArray("audio/x-pn-realaudio");
    }
    void audioKinds() {
        QFETCH(QByteArray, path);
        QFETCH(QString, ext);
        QFETCH(QByteArray, type);
        const RawAnswer a = service_.get(path);
        QCOMPARE(a.status, 200);
        QCOMPARE(a.header("Content-Type"), type);
        QCOMPARE(a.header("Content-Length").toLongLong(), a.body.size());
        QVERIFY(a.body.size() < 64 * 1024);
        const QByteArray& b = a.body;
        if (ext == u"mp3") {
            qsizetype at = 0;
            if (b.startsWith("ID3")) {  // skip the tag: ten bytes and a syncsafe length
                at = 10 + ((b[6] & 0x7f) << 21 | (b[7] & 0x7f) << 14 | (b[8] & 0x7f) << 7 |
                           (b[9] & 0x7f));
            }
            QCOMPARE(static_cast<unsigned char>(b[at]), 0xFF);
            QCOMPARE(static_cast<unsigned char>(b[at + 1]) & 0xE0, 0xE0);
            QCOMPARE((static_cast<unsigned char>(b[at + 1]) >> 1) & 3, 1);  // layer III
        } else if (ext == u"wma" || ext == u"asf") {
            const QByteArray asfHeader = QByteArray::fromHex("3026B2758E66CF11A6D900AA0062CE6C");
            QVERIFY(b.startsWith(asfHeader));
            // The audio stream properties object carries the Windows Media audio stream type.
            QVERIFY(b.contains(QByteArray::fromHex("409E69F84D5BCF11A8FD00805F5C442B")));
            QCOMPARE(b, sampleFile(ext));
        } else if (ext == u"rm") {
            QVERIFY(b.startsWith(".RMF"));
            QVERIFY(b.contains("PROP") && b.contains("MDPR") && b.contains("DATA"));
        } else {
            // A RealAudio list: one address, on this service, that serves the RealMedia file.
            const QByteArray url = b.trimmed();
            QCOMPARE(url, "http://" + service_.host() + "/audio/sample.rm");
            const RawAnswer rm = service_.get(url.mid(7 + service_.host().size()));
            QCOMPARE(rm.status, 200);
            QVERIFY(rm.body.startsWith(".RMF"));
        }
    }

    void unknownMusic_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("kind does not match the song") << QByteArray("/music/s01/000.rm");
        QTest::newRow("no such song") << QByteArray("/music/s01/999.mp3");
        QTest::newRow("no such source") << QByteArray("/music/s51/000.mp3");
        QTest::newRow("source zero") << QByteArray("/music/s00/000.mp3");
        QTest::newRow("climbing out") << QByteArray("/music/s01/../../etc/passwd");
    }
    void unknownMusic() {
        QFETCH(QByteArray, path);
        QCOMPARE(service_.get(path).status, 404);
    }

    void faults_data() {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("range");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint64>("first");      // first byte of the file the body starts with
        QTest::addColumn<qint64>("length");     // body bytes that arrive
        QTest::addColumn<qint64>("announced");  // Content-Length, -1 none
        QTest::newRow("whole") << QByteArray("size=1000") << QByteArray() << 200 << 0LL << 1000LL
                               << 1000LL;
        QTest::newRow("default size")
            << QByteArray("") << QByteArray() << 200 << 0LL << 1048576LL << 1048576LL;
        QTest::newRow("range") << QByteArray("size=1000") << QByteArray("bytes=100-199") << 206
                               << 100LL << 100LL << 100LL;
        QTest::newRow("range to one past the end")
            << QByteArray("size=1000") << QByteArray("bytes=800-1000") << 206 << 800LL << 200LL
            << 200LL;
        QTest::newRow("cut") << QByteArray("size=1000&cut=300") << QByteArray() << 200 << 0LL
                             << 300LL << 1000LL;
        QTest::newRow("cut in a range")
            << QByteArray("size=100000&cut=70000") << QByteArray("bytes=500-") << 206 << 500LL
            << 70000LL << 99500LL;
        QTest::newRow("cut past the end")
            << QByteArray("size=1000&cut=5000") << QByteArray() << 200 << 0LL << 1000LL << 1000LL;
        QTest::newRow("norange") << QByteArray("size=1000&norange=1") << QByteArray("bytes=100-199")
                                 << 200 << 0LL << 1000LL << 1000LL;
        QTest::newRow("nolength") << QByteArray("size=200000&nolength=1") << QByteArray() << 200
                                  << 0LL << 200000LL << -1LL;
        QTest::newRow("nolength, range")
            << QByteArray("size=1000&nolength=1") << QByteArray("bytes=10-19") << 206 << 10LL
            << 10LL << -1LL;
        QTest::newRow("longer") << QByteArray("size=1000&longer=50") << QByteArray() << 200 << 0LL
                                << 1050LL << 1000LL;
        QTest::newRow("longer, range") << QByteArray("size=1000&longer=7")
                                       << QByteArray("bytes=990-") << 206 << 990LL << 17LL << 10LL;
        QTest::newRow("redirect 0 serves")
            << QByteArray("size=10&redirect=0") << QByteArray() << 200 << 0LL << 10LL << 10LL;
        QTest::newRow("unsatisfiable")
            << QByteArray("size=1000") << QByteArray("bytes=1000-") << 416 << 0LL << 0LL << 0LL;
        QTest::newRow("bad size") << QByteArray("size=ten") << QByteArray() << 400 << 0LL << 0LL
                                  << 0LL;
    }
    void faults() {
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, range);
        QFETCH(int, status);
        QFETCH(qint64, first);
        QFETCH(qint64, length);
        QFETCH(qint64, announced);
        const RawAnswer a =
            service_.get("/fault/t.bin?" + query,
                         range.isEmpty() ? QList<QByteArray>{} : QList{"Range: " + range}, 10000);
        QCOMPARE(a.status, status);
        if (status >= 400) return;
        QCOMPARE(a.body.size(), length);
        QCOMPARE(QCryptographicHash::hash(a.body, QCryptographicHash::Sha256),
                 QCryptographicHash::hash(faultContent(first, length), QCryptographicHash::Sha256));
        QCOMPARE(a.hasHeader("Content-Length"), announced >= 0);
        if (announced >= 0) QCOMPARE(a.header("Content-Length").toLongLong(), announced);
        QCOMPARE(a.header("Content-Type"), QByteArray("application/octet-stream"));
    }

    void errorStatus() {
        const RawAnswer a = service_.get("/fault/t.bin?size=1000&status=404");
        QCOMPARE(a.status, 404);
        QVERIFY(a.body.size() >= 200 && a.body.size() <= 2000);
        QVERIFY(a.body.contains("<html>"));
    }

    // With once=1 only the first ranged answer per id is spoiled, so a resume of the same id
    // succeeds; a size probe (no Range) neither is spoiled nor uses it up.
    void cutOnce() {
        const QByteArray base = "/fault/o.bin?size=5000&cut=1000&once=1&id=";
        const QByteArray id = "run" + QByteArray::number(QRandomGenerator::global()->generate());
        QCOMPARE(service_.get(base + id).body.size(), 5000);
        QCOMPARE(service_.get(base + id, {"Range: bytes=0-"}).body.size(), 1000);
        const RawAnswer resumed = service_.get(base + id, {"Range: bytes=1000-"});
        QCOMPARE(resumed.status, 206);
        QCOMPARE(resumed.body, faultContent(1000, 4000));
        QCOMPARE(service_.get(base + id + "x", {"Range: bytes=0-"}).body.size(), 1000);
        // Without once every answer is cut.
        QCOMPARE(service_.get("/fault/o.bin?size=5000&cut=1000&id=" + id).body.size(), 1000);
        QCOMPARE(service_.get("/fault/o.bin?size=5000&cut=1000&id=" + id).body.size(), 1000);
    }

    void rangedStatus() {
        const QByteArray base = "/fault/e.bin?size=3000&rangedstatus=429";
        QCOMPARE(service_.get(base).status, 200);  // the probe gets the file
        QCOMPARE(service_.get(base, {"Range: bytes=0-"}).status, 429);
        QCOMPARE(service_.get(base, {"Range: bytes=0-"}).status, 429);
        const QByteArray once =
            base + "&once=1&id=" + QByteArray::number(QRandomGenerator::global()->generate());
        QCOMPARE(service_.get(once).status, 200);
        QCOMPARE(service_.get(once, {"Range: bytes=10-"}).status, 429);
        const RawAnswer second = service_.get(once, {"Range: bytes=10-"});
        QCOMPARE(second.status, 206);
        QCOMPARE(second.body, faultContent(10, 2990));
    }

    // If-Range with the file's own ETag gets the range; with another version's, the whole file.
    void ifRangeAndPage() {
        const QByteArray base = "/fault/v.bin?size=3000&version=2";
        const RawAnswer plain = service_.get(base);
        QCOMPARE(plain.header("ETag"), QByteArray("\"3000-2\""));
        const RawAnswer same = service_.get(base, {"Range: bytes=100-", "If-Range: \"3000-2\""});
        QCOMPARE(same.status, 206);
        QCOMPARE(same.body, faultContent(100, 2900));
        const RawAnswer other = service_.get(base, {"Range: bytes=100-", "If-Range: \"3000-1\""});
        QCOMPARE(other.status, 200);
        QCOMPARE(other.body, faultContent(0, 3000));
        const RawAnswer page = service_.get("/fault/p.mp3?page=1");
        QCOMPARE(page.status, 200);
        QVERIFY(page.header("Content-Type").startsWith("text/html"));
        QVERIFY(page.body.contains("<html>"));
    }

    void redirectChain() {
        QByteArray target = "/fault/r.bin?size=64&redirect=3&id=z";
        for (int hop = 3; hop > 0; --hop) {
            const RawAnswer a = service_.get(target);
            QCOMPARE(a.status, 302);
            const QByteArray location = a.header("Location");
            const QByteArray expected =
                "http://" + service_.host() +
                "/fault/r.bin?size=64&redirect=" + QByteArray::number(hop - 1) + "&id=z";
            QCOMPARE(location, expected);
            target = location.mid(7 + service_.host().size());
        }
        const RawAnswer last = service_.get(target);
        QCOMPARE(last.status, 200);
        QCOMPARE(last.body, faultContent(0, 64));
    }

    void trickle() {
        // 500 bytes at 100 bytes per 100 ms: five pieces with four pauses between them.
        const RawAnswer a = service_.get("/fault/s.bin?size=500&trickle=100");
        QCOMPARE(a.body, faultContent(0, 500));
        QVERIFY2(a.elapsedMs >= 350, qPrintable(QString::number(a.elapsedMs)));
        QVERIFY2(a.elapsedMs < 3000, qPrintable(QString::number(a.elapsedMs)));
    }

    void faultsNeedTheFlag() {
        ServiceRun plain;
        QVERIFY2(plain.start(), qPrintable(plain.error()));
        QCOMPARE(plain.get("/fault/t.bin?size=10").status, 404);
        QCOMPARE(plain.get("/music/s01/000.mp3").status, 200);
    }

    void busyPortIsReported() {
        QProcess second;
        second.start(serviceBinary(), {u"--port"_s, QString::number(service_.port())});
        QVERIFY(second.waitForFinished(5000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(!second.readAllStandardOutput().contains("listening"));
    }

    // Runs last: the log holds every request of this test, targets exactly as sent.
    void requestLog() {
        const QList<QByteArray> targets = {
            "/m?tn=baidump3&ct=134217728&rn=&word=%B8%E8&lm=0",
            "/m?lm=0&ct=134217728&tn=baidump3&word=%e6%ad%8c&pn=60&ip=127.0.0.1&cl=3&z=0",
            "/fault/log.bin?size=10&cut=5",
            "/music/s01/000.mp3?a=%20b+c",
        };
        for (const QByteArray& t : targets) service_.get(t);
        QFile log(logPath_);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().split('\n');
        QVERIFY(lines.size() > targets.size());
        // The last lines (before the final empty one) are ours, in order.
        for (qsizetype i = 0; i < targets.size(); ++i) {
            QCOMPARE(lines[lines.size() - 1 - targets.size() + i],
                     "GET " + targets[i] + " HTTP/1.1");
        }
        QCOMPARE(lines.last(), QByteArray());
        for (const QByteArray& line : lines.first(lines.size() - 1)) {
            QVERIFY2(line.startsWith("GET /") && line.endsWith(" HTTP/1.1"), line);
        }
    }
};

QTEST_GUILESS_MAIN(ServiceFilesTest)
#include "test_servicefiles.moc"
