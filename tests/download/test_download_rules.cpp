// Pure rules of the download core: addresses, segments, ranges, names, retries and display
// arithmetic.
#include <QtTest>
#include <chrono>

#include "download/address.h"
#include "download/contentcheck.h"
#include "download/filename.h"
#include "download/finishedfile.h"
#include "download/httpfetch.h"
#include "download/partfiles.h"
#include "download/piecetable.h"
#include "download/progressboard.h"
#include "download/retryrule.h"
#include "download/segmentplan.h"

using namespace melorin::download;

namespace {
QString q(const std::string& s) {
    return QString::fromStdString(s);
}
}  // namespace

class DownloadRulesTest : public QObject {
    Q_OBJECT
private slots:
    void address_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("url");
        QTest::newRow("plain") << "http://music.example/a/b.mp3" << true
                               << "http://music.example:80/a/b.mp3";
        QTest::newRow("no scheme with port")
            << "host:8080/x.mp3" << true << "http://host:8080/x.mp3";
        QTest::newRow("scheme and port")
            << "http://127.0.0.1:3456/f?id=1#frag" << true << "http://127.0.0.1:3456/f?id=1";
        QTest::newRow("no path") << "HTTP://Host.Example" << true << "http://host.example:80/";
        QTest::newRow("https default") << "https://h/p" << true << "https://h:443/p";
        QTest::newRow("ipv6") << "http://[::1]:81/p" << true << "http://[::1]:81/p";
        QTest::newRow("non-ascii path")
            << "h/\xe6\xad\x8c.mp3" << true << "http://h:80/%E6%AD%8C.mp3";
        QTest::newRow("empty") << "" << false << "";
        QTest::newRow("empty host") << "http:///x" << false << "";
        QTest::newRow("port zero") << "h:0/x" << false << "";
        QTest::newRow("port too big") << "h:65536/x" << false << "";
        QTest::newRow("port not numeric") << "h:80a/x" << false << "";
        QTest::newRow("empty port") << "h:/x" << false << "";
        QTest::newRow("ftp") << "ftp://h/x" << false << "";
        QTest::newRow("user info") << "http://u:p@h/x" << false << "";
        QTest::newRow("blank inside") << "http://h/a b" << false << "";
        QTest::newRow("control char") << "http://h/a\r\nX: y" << false << "";
        QTest::newRow("bad host char") << "http://h%41/x" << false << "";
    }
    void address() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QString, url);
        auto a = parseAddress(text.toStdString());
        QCOMPARE(a.has_value(), ok);
        if (ok) QCOMPARE(q(a->url()), url);
    }

    void segments_data() {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<int>("workers");
        QTest::addColumn<QString>("expected");  // start-ownEnd/requestEnd per segment
        QTest::newRow("1000 by 5")
            << qint64(1000) << 5 << "0-200/200 200-400/400 400-600/600 600-800/800 800-1000/1000";
        QTest::newRow("1e6 by 3") << qint64(1000000) << 3
                                  << "0-333333/333333 333333-666666/666666 666666-1000000/1000000";
        QTest::newRow("shorter than workers") << qint64(3) << 5 << "0-1/1 1-2/2 2-3/3";
        QTest::newRow("one byte") << qint64(1) << 5 << "0-1/1";
        QTest::newRow("zero workers") << qint64(10) << 0 << "0-10/10";
        QTest::newRow("over 4 GiB") << qint64(5000000000) << 2
                                    << "0-2500000000/2500000000 2500000000-5000000000/5000000000";
    }
    void segments() {
        QFETCH(qint64, total);
        QFETCH(int, workers);
        QFETCH(QString, expected);
        QStringList got;
        auto plan = planSegments(total, workers);
        std::int64_t covered = 0;
        for (const auto& s : plan.segments) {
            got << QStringLiteral("%1-%2/%3").arg(s.start).arg(s.ownEnd).arg(s.requestEnd);
            QCOMPARE(s.start, covered);  // own parts tile the file
            covered = s.ownEnd;
        }
        QCOMPARE(covered, total);
        QCOMPARE(got.join(u' '), expected);
    }

    void rangeHeader_data() {
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("end");
        QTest::addColumn<QString>("header");
        QTest::newRow("both") << qint64(200) << qint64(400) << "bytes=200-400";
        QTest::newRow("open end") << qint64(200) << qint64(0) << "bytes=200-";
        QTest::newRow("none") << qint64(0) << qint64(0) << "";
        QTest::newRow("big") << qint64(3000000000) << qint64(4000000000)
                             << "bytes=3000000000-4000000000";
    }
    void rangeHeader() {
        QFETCH(qint64, start);
        QFETCH(qint64, end);
        QFETCH(QString, header);
        QCOMPARE(q(rangeHeaderValue(start, end)), header);
    }

    // The catalogues are told Melorin's name; every other server the classic agent. Origins
    // compare whole: a look-alike host or another port is another server.
    void userAgents_data() {
        QTest::addColumn<QByteArray>("url");
        QTest::addColumn<bool>("ownName");
        QTest::newRow("catalogue")
            << QByteArray("https://archive.org/download/x/a%20b.mp3") << true;
        QTest::newRow("letter case") << QByteArray("HTTPS://Archive.ORG/download/x") << true;
        QTest::newRow("port spelled out") << QByteArray("https://archive.org:443/x") << true;
        QTest::newRow("local mirror") << QByteArray("http://127.0.0.1:8123/content/a.mp3") << true;
        QTest::newRow("mirror, other port") << QByteArray("http://127.0.0.1:8124/a.mp3") << false;
        QTest::newRow("look-alike host") << QByteArray("https://archive.org.example/x") << false;
        QTest::newRow("user part") << QByteArray("https://archive.org@example.com/x") << false;
        QTest::newRow("plain http") << QByteArray("http://archive.org/x") << false;
        QTest::newRow("other server") << QByteArray("http://music.example/a.mp3") << false;
        QTest::newRow("not an address") << QByteArray("::") << false;
    }
    void userAgents() {
        QFETCH(QByteArray, url);
        QFETCH(bool, ownName);
        FetchOptions options;
        options.ownName = "Melorin/1 (+x)";
        options.ownNameOrigins = {"https://archive.org", "http://127.0.0.1:8123"};
        QCOMPARE(userAgentFor(url.toStdString(), options),
                 ownName ? options.ownName : std::string(kUserAgent));
        QCOMPARE(userAgentFor(url.toStdString(), FetchOptions{}), std::string(kUserAgent));
    }

    void rangeAnswer_data() {
        QTest::addColumn<QString>("contentRange");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("end");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<bool>("matches");
        QTest::newRow("exact") << "bytes 200-400/1000" << qint64(200) << qint64(400) << qint64(1000)
                               << true;
        QTest::newRow("last clamped")
            << "bytes 800-999/1000" << qint64(800) << qint64(1000) << qint64(1000) << true;
        QTest::newRow("open end") << "bytes 5-999/1000" << qint64(5) << qint64(0) << qint64(1000)
                                  << true;
        QTest::newRow("star total")
            << "bytes 0-9/*" << qint64(0) << qint64(9) << qint64(100) << true;
        QTest::newRow("other start")
            << "bytes 0-400/1000" << qint64(200) << qint64(400) << qint64(1000) << false;
        QTest::newRow("short answer")
            << "bytes 200-300/1000" << qint64(200) << qint64(400) << qint64(1000) << false;
        QTest::newRow("other total")
            << "bytes 200-400/2000" << qint64(200) << qint64(400) << qint64(1000) << false;
        QTest::newRow("garbage") << "bytes x-y/z" << qint64(0) << qint64(9) << qint64(100) << false;
        QTest::newRow("reversed") << "bytes 9-0/100" << qint64(0) << qint64(9) << qint64(100)
                                  << false;
        QTest::newRow("big") << "bytes 3000000000-3999999999/4000000000" << qint64(3000000000)
                             << qint64(4000000000) << qint64(4000000000) << true;
    }
    void rangeAnswer() {
        QFETCH(QString, contentRange);
        QFETCH(qint64, start);
        QFETCH(qint64, end);
        QFETCH(qint64, total);
        QFETCH(bool, matches);
        auto r = parseContentRange(contentRange.toStdString());
        QCOMPARE(r.has_value() && rangeAnswerMatches(*r, start, end, total), matches);
    }

    void tags_data() {
        QTest::addColumn<int>("tag");
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("worker");
        QTest::newRow("first") << 100 << 0 << 0;
        QTest::newRow("slot 2 worker 5") << 304 << 2 << 4;
        QTest::newRow("offset beyond bars") << 207 << 1 << -1;
        QTest::newRow("end of range") << 149 << 0 << -1;
        QTest::newRow("probe") << kProbeTag << -1 << -1;
        QTest::newRow("gap") << 150 << -1 << -1;
    }
    void tags() {
        QFETCH(int, tag);
        QFETCH(int, slot);
        QFETCH(int, worker);
        QCOMPARE(tagSlot(tag).value_or(-1), slot);
        QCOMPARE(tagWorker(tag).value_or(-1), worker);
        if (worker >= 0) QCOMPARE(connectionTag(slot, worker), tag);
    }

    void fileNames_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << "歌"
                               << "mp3"
                               << "/m/歌.mp3";
        QTest::newRow("slash") << "a/b"
                               << "mp3"
                               << "/m/a_b.mp3";
        QTest::newRow("backslash") << "a\\b"
                                   << "mp3"
                                   << "/m/a_b.mp3";
        QTest::newRow("dotdot") << "../../etc/passwd"
                                << "mp3"
                                << "/m/_._etc_passwd.mp3";
        QTest::newRow("only dots") << ".."
                                   << ""
                                   << "/m/_";
        QTest::newRow("control") << "a\tb\nc"
                                 << "rm"
                                 << "/m/a_b_c.rm";
        QTest::newRow("empty type") << "song"
                                    << ""
                                    << "/m/song.";
        QTest::newRow("question mark") << "what?"
                                       << "wma"
                                       << "/m/what?.wma";
    }
    void fileNames() {
        QFETCH(QString, title);
        QFETCH(QString, type);
        QFETCH(QString, path);
        std::string p = savePathFor("/m/", title.toStdString(), type.toStdString());
        QCOMPARE(q(p), path);
        QVERIFY(isSafeSavePath(p));
        QCOMPARE(q(p.substr(0, 3)), QStringLiteral("/m/"));
        QVERIFY(p.find('/', 3) == std::string::npos);
    }

    void fileNameLimits() {
        std::string longName(300, 'x');
        longName += "\xe6\xad\x8c";
        QVERIFY(safeFileName(longName).size() <= 200);
        std::string cut = safeFileName(std::string(199, 'a') + "\xe6\xad\x8c");
        QCOMPARE(cut.size(), std::size_t(199));  // never half a character
        QCOMPARE(q(fallbackPathFor("/m", "  周杰伦 ", 4, " Mrm ")),
                 QStringLiteral("/m/周杰伦4.rm"));
        QVERIFY(!isSafeSavePath("/m/../x"));
        QVERIFY(!isSafeSavePath("/m/x\n"));
        QVERIFY(isSafeSavePath("/m/..x"));
        // A title of 100 KB: the name is cut to the limit, on a character, and keeps its type.
        std::string title;
        while (title.size() < 100000) title += "歌";
        const std::string path = savePathFor("/m", title, "mp3", 200);
        QVERIFY(path.ends_with("歌.mp3"));
        QVERIFY(path.size() - 3 <= 200);
        const std::string fallback = fallbackPathFor("/m", title, 7, "wma", 100);
        QVERIFY(fallback.ends_with("歌.wma"));
        QVERIFY(fallback.size() - 3 <= 100);
        // Room is kept for " (n)" and the files beside the song while it downloads.
        QTemporaryDir dir;
        const std::size_t limit = nameLimitFor(dir.path().toStdString());
        QVERIFY(limit + kNameReserve <= kNameMax);
        const std::string saved = savePathFor(dir.path().toStdString(), title, "mp3", limit);
        QVERIFY(QFile(q(statePathFor(numberedPath(saved, 99999)) + ".tmp-123456-7-abcdef"))
                    .open(QIODevice::WriteOnly));
    }

    void distinctPaths_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("taken");  // "|" between paths
        QTest::addColumn<QString>("expected");
        QTest::newRow("free") << "/m/歌.mp3"
                              << "/m/歌.rm|/n/歌.mp3"
                              << "/m/歌.mp3";
        QTest::newRow("second") << "/m/歌.mp3"
                                << "/m/歌.mp3"
                                << "/m/歌 (2).mp3";
        QTest::newRow("third, gap filled first") << "/m/歌.mp3"
                                                 << "/m/歌.mp3|/m/歌 (3).mp3"
                                                 << "/m/歌 (2).mp3";
        QTest::newRow("fourth") << "/m/歌.mp3"
                                << "/m/歌.mp3|/m/歌 (2).mp3|/m/歌 (3).mp3"
                                << "/m/歌 (4).mp3";
        QTest::newRow("no extension") << "/m/song"
                                      << "/m/song"
                                      << "/m/song (2)";
        QTest::newRow("empty type") << "/m/a_._b."
                                    << "/m/a_._b."
                                    << "/m/a_._b (2).";
        QTest::newRow("dot only in the folder") << "/m.d/song"
                                                << "/m.d/song"
                                                << "/m.d/song (2)";
        QTest::newRow("two dots") << "/m/a.b.mp3"
                                  << "/m/a.b.mp3"
                                  << "/m/a.b (2).mp3";
        QTest::newRow("other case is another file") << "/m/A.mp3"
                                                    << "/m/a.mp3"
                                                    << "/m/A.mp3";
    }
    void distinctPaths() {
        QFETCH(QString, path);
        QFETCH(QString, taken);
        QFETCH(QString, expected);
        const QStringList t = taken.split(u'|');
        QCOMPARE(q(distinctSavePath(path.toStdString(),
                                    [&](const std::string& p) { return t.contains(q(p)); })),
                 expected);
    }

    void retriedStatuses_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("retried");
        // The two client errors that say "later", and both ends of the server errors.
        for (int st : {408, 429, 500, 599}) QTest::addRow("%d", st) << st << true;
        for (int st : {404, 416, 499, 600}) QTest::addRow("%d", st) << st << false;
    }
    void retriedStatuses() {
        QFETCH(int, status);
        QFETCH(bool, retried);
        QCOMPARE(isRetriedStatus(status), retried);
    }

    // Pauses double from half a second up to five, and a worker that gets nothing gives up once
    // it has waited about a minute: a server's restart is waited out, a dead one is not.
    void nextAttempts_data() {
        QTest::addColumn<bool>("delivered");
        QTest::addColumn<bool>("permanent");
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("next");     // NextAttempt
        QTest::addColumn<int>("pauseMs");  // before the next request; -1: none
        const int now = int(NextAttempt::Now), later = int(NextAttempt::AfterPause),
                  stop = int(NextAttempt::GiveUp);
        QTest::newRow("cut after bytes: at once") << true << false << 0 << now << -1;
        QTest::newRow("cut after bytes, after failures") << true << false << 7 << now << -1;
        QTest::newRow("first failure") << false << false << 0 << later << 500;
        QTest::newRow("fourth failure") << false << false << 3 << later << 4000;
        QTest::newRow("pauses stop growing") << false << false << 6 << later << 5000;
        QTest::newRow("15th failure: 57.5 s waited") << false << false << 14 << later << 5000;
        QTest::newRow("16th failure gives up") << false << false << 15 << stop << -1;
        QTest::newRow("permanent, even after bytes") << true << true << 0 << stop << -1;
    }
    void nextAttempts() {
        QFETCH(bool, delivered);
        QFETCH(bool, permanent);
        QFETCH(int, failures);
        QFETCH(int, next);
        QFETCH(int, pauseMs);
        const RetryPolicy policy;
        QCOMPARE(int(nextAttempt({delivered, permanent, failures}, policy)), next);
        if (pauseMs >= 0) QCOMPARE(retryPause(policy, failures + 1).count(), pauseMs);
    }

    // A server that gives a byte per answer is stopped after a few requests per 64 KiB.
    void requestAllowances() {
        QCOMPARE(requestAllowance(0), 120);
        QCOMPARE(requestAllowance(20000), 124);
        QCOMPARE(requestAllowance(20 << 20), 120 + 4 * 320);
        QVERIFY(requestAllowance(std::int64_t(1) << 60) > 0);
    }

    void sniff_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("contentType");
        QTest::addColumn<int>("kind");
        const int mp3 = int(BodyKind::Mp3), asf = int(BodyKind::Asf), rm = int(BodyKind::RealMedia),
                  ram = int(BodyKind::RamList), page = int(BodyKind::WebPage),
                  other = int(BodyKind::Other);
        QTest::newRow("ID3") << QByteArray("ID3\x03\x00\x00\x00\x00\x1f\x76", 10) << "audio/mpeg"
                             << mp3;
        QTest::newRow("frame sync") << QByteArray("\xff\xfb\x90\x64\x00", 5) << "" << mp3;
        QTest::newRow("mp3 labelled text/html")
            << QByteArray("\xff\xf3\x28\xc4", 4) << "text/html" << mp3;
        QTest::newRow("asf header")
            << QByteArray("\x30\x26\xb2\x75\x8e\x66\xcf\x11\xa6\xd9\x00\xaa\x00\x62\xce\x6c\x01",
                          17)
            << "audio/x-ms-wma" << asf;
        QTest::newRow("realmedia") << QByteArray(".RMF\x00\x00\x00\x12", 8) << "" << rm;
        QTest::newRow("ram list") << QByteArray("rtsp://h/a.rm\r\n") << "text/plain" << ram;
        QTest::newRow("ram list, pnm, blank first")
            << QByteArray("\r\n pnm://h/a.ra\n") << "audio/x-pn-realaudio" << ram;
        QTest::newRow("doctype") << QByteArray("<!DOCTYPE html>\n<html>") << "" << page;
        QTest::newRow("html in upper case, BOM")
            << QByteArray("\xef\xbb\xbf  <HTML><HEAD>") << "application/octet-stream" << page;
        QTest::newRow("expired-link page in GBK")
            << QByteArray("<html>\r\n<head><title>\xce\xc4\xbc\xfe\xb2\xbb\xb4\xe6\xd4\xda")
            << "application/octet-stream" << page;
        QTest::newRow("xhtml") << QByteArray("<?xml version=\"1.0\"?>\n<html xmlns=") << "" << page;
        QTest::newRow("comment first") << QByteArray("<!-- moved -->") << "" << page;
        QTest::newRow("text/html, no tag")
            << QByteArray("Not Found") << "Text/HTML; charset=gbk" << page;
        QTest::newRow("empty text/html") << QByteArray() << "text/html" << page;
        QTest::newRow("unknown binary") << QByteArray("\x00\x01\x02\x03", 4) << "" << other;
        QTest::newRow("xml not html") << QByteArray("<?xml version=\"1.0\"?><asx>") << "" << other;
        QTest::newRow("tag-like word") << QByteArray("<htmlx") << "" << other;
        QTest::newRow("plain text") << QByteArray("hello") << "text/plain" << other;
    }
    void sniff() {
        QFETCH(QByteArray, head);
        QFETCH(QString, contentType);
        QFETCH(int, kind);
        const BodyKind got = sniffBody(head.toStdString(), contentType.toStdString());
        QCOMPARE(int(got), kind);
        QCOMPARE(isSongBody(got), kind != int(BodyKind::WebPage));
    }

    // Pieces as "start-end/done@worker~rate" ("@-" nobody, "~?" rate unknown); the worker that
    // asks is 9.
    void takePieces_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("taken");  // -1: none
        QTest::addColumn<QString>("after");
        const QString K = QString::number(kMinSplitPiece);
        QTest::newRow("own piece first")
            << "0-100/50@9~? 100-200/100@-~?" << 0 << "0-100/50@9 100-200/100@-";
        QTest::newRow("free piece next")
            << "0-100/100@-~? 100-200/150@-~?" << 1 << "0-100/100@- 100-200/150@9";
        QTest::newRow("slowest halved")
            << "0-4000000/3000000@0~2000000 4000000-8000000/4400000@1~200000" << 2
            << "0-4000000/3000000@0 4000000-6200000/4400000@1 6200000-8000000/6200000@9";
        QTest::newRow("stalled before larger")
            << "0-4000000/1000000@0~2000000 4000000-6000000/4000000@1~0" << 2
            << "0-4000000/1000000@0 4000000-5000000/4000000@1 5000000-6000000/5000000@9";
        QTest::newRow("unknown rate counts as the fastest")
            << "0-2000000/1000000@0~2000000 2000000-7000000/2000000@1~? "
               "7000000-9000000/7000000@2~500000"
            << 3
            << "0-2000000/1000000@0 2000000-7000000/2000000@1 7000000-8000000/7000000@2 "
               "8000000-9000000/8000000@9";
        QTest::newRow("no rate known: the largest")
            << "0-3000000/0@0~? 3000000-8000000/3000000@1~?" << 2
            << "0-3000000/0@0 3000000-5500000/3000000@1 5500000-8000000/5500000@9";
        QTest::newRow("too little left to halve")
            << QStringLiteral("0-%1/1@0~1000").arg(2 * kMinSplitPiece) << -1
            << QStringLiteral("0-%1/1@0").arg(2 * kMinSplitPiece);
        QTest::newRow("just enough")
            << QStringLiteral("0-%1/0@0~1000").arg(2 * kMinSplitPiece) << 1
            << QStringLiteral("0-%1/0@0 %1-%2/%1@9").arg(K).arg(2 * kMinSplitPiece);
        QTest::newRow("done soon anyway")
            << "0-9000000/8000000@0~2000000" << -1 << "0-9000000/8000000@0";
        QTest::newRow("complete pieces are not taken")
            << "0-100/100@-~? 100-200/200@-~?" << -1 << "0-100/100@- 100-200/200@-";
    }
    void takePieces() {
        QFETCH(QString, before);
        QFETCH(int, taken);
        QFETCH(QString, after);
        std::vector<Piece> pieces;
        for (const QString& item : before.split(u' ')) {
            const QStringList a = item.split(QRegularExpression(QStringLiteral("[-/@~]")));
            Piece p{a[0].toLongLong(), a[1].toLongLong(), a[2].toLongLong(),
                    item.contains(u"@-") ? -1 : a[3].toInt(),
                    item.contains(u"~?") ? -1.0 : a.last().toDouble()};
            pieces.push_back(p);
        }
        const auto got = takePiece(pieces, 9);
        QCOMPARE(got ? int(*got) : -1, taken);
        QStringList out;
        for (const Piece& p : pieces)
            out << QStringLiteral("%1-%2/%3@%4")
                       .arg(p.start)
                       .arg(p.end)
                       .arg(p.done)
                       .arg(p.worker < 0 ? QStringLiteral("-") : QString::number(p.worker));
        QCOMPARE(out.join(u' '), after);
        // The pieces still tile the file, each with its own bytes.
        std::vector<Piece> sorted = pieces;
        std::sort(sorted.begin(), sorted.end(),
                  [](const Piece& a, const Piece& b) { return a.start < b.start; });
        for (std::size_t i = 1; i < sorted.size(); ++i)
            QCOMPARE(sorted[i].start, sorted[i - 1].end);
    }

    void speed_data() {
        QTest::addColumn<qint64>("delta");
        QTest::addColumn<int>("ms");
        QTest::addColumn<qint64>("kib");
        QTest::newRow("500 k") << qint64(512000) << 1000 << qint64(500);
        QTest::newRow("under 1 k") << qint64(1023) << 1000 << qint64(0);
        QTest::newRow("half second") << qint64(512000) << 500 << qint64(1000);
        QTest::newRow("no interval") << qint64(2048) << 0 << qint64(2);
        QTest::newRow("negative") << qint64(-5000) << 1000 << qint64(0);
        QTest::newRow("10 GiB") << qint64(10737418240) << 1000 << qint64(10485760);
    }
    void speed() {
        QFETCH(qint64, delta);
        QFETCH(int, ms);
        QFETCH(qint64, kib);
        QCOMPARE(kibPerSecond(delta, std::chrono::milliseconds(ms)), kib);
    }

    void texts() {
        QCOMPARE(q(elapsedText(1)), QStringLiteral("总耗时：1秒"));
        QCOMPARE(q(speedText(500)), QStringLiteral("500k/s"));
        QCOMPARE(q(reportText(203, 77)), QStringLiteral("文件2线程4：77"));
        QCOMPARE(q(reportText(kProbeTag, 5)), QStringLiteral("5"));
        QCOMPARE(barMaximum(1000000, 3), std::int64_t(333333));
        QCOMPARE(barMaximum(1000, 0), std::int64_t(0));
        QCOMPARE(viewedSlot(std::nullopt), 0);
        QCOMPARE(viewedSlot(7), 1);
        QVERIFY(fillsBarsOnSelect(ProgressState::Ended));
        QVERIFY(fillsBarsOnSelect(ProgressState::Logged));
        QVERIFY(!fillsBarsOnSelect(ProgressState::Running));
        QVERIFY(!fillsBarsOnSelect(ProgressState::Failed));
        DownloadJob job{
            {melorin::core::RowShape::File, "1", 0, "歌", "http://h/a.mp3", "3.2M", "mp3"},
            "/m/歌.mp3"};
        auto lines = completionEntry("2024-01-02 03:04:05", job, 12);
        QStringList got;
        for (const auto& l : lines) got << q(l);
        QCOMPARE(got,
                 QStringList({QStringLiteral("2024-01-02 03:04:05"), QStringLiteral("歌下载完毕!"),
                              QStringLiteral("保存地址：/m/歌.mp3"), QStringLiteral("用时：12秒"),
                              QStringLiteral("下载地址：http://h/a.mp3"),
                              QStringLiteral("文件大小：3.2M")}));
    }

    // Only a player may get a finished file: its type text came from the network.
    void playableNames_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("playable");
        QTest::newRow("mp3") << QStringLiteral("/m/月下听风.mp3") << true;
        QTest::newRow("upper case") << QStringLiteral("/m/歌.WMA") << true;
        QTest::newRow("numbered") << QStringLiteral("/m/歌 (2).rm") << true;
        QTest::newRow("launcher") << QStringLiteral("/m/歌.desktop") << false;
        QTest::newRow("launcher behind mp3") << QStringLiteral("/m/歌.mp3.desktop") << false;
        QTest::newRow("script") << QStringLiteral("/m/歌.sh") << false;
        QTest::newRow("page") << QStringLiteral("/m/歌.html") << false;
        QTest::newRow("empty type") << QStringLiteral("/m/歌.") << false;
        QTest::newRow("no type") << QStringLiteral("/m/mp3") << false;
        QTest::newRow("hidden name") << QStringLiteral("/m/.mp3") << false;
        QTest::newRow("type of the folder") << QStringLiteral("/m.mp3/歌") << false;
    }
    void playableNames() {
        QFETCH(QString, path);
        QFETCH(bool, playable);
        QCOMPARE(isPlayableName(path.toStdString()), playable);
    }

    void plainLocalFiles() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("歌.mp3"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const QString link = dir.filePath(QStringLiteral("link.mp3"));
        QVERIFY(QFile::link(file, link));
        QVERIFY(isPlainLocalFile(file.toStdString()));
        QVERIFY(mayOpenWithPlayer(file.toStdString()));
        QVERIFY(!isPlainLocalFile(link.toStdString()));  // not necessarily the file written
        QVERIFY(!isPlainLocalFile(dir.path().toStdString()));
        QVERIFY(!isPlainLocalFile("歌.mp3"));
        QVERIFY(!isPlainLocalFile(dir.filePath(QStringLiteral("gone.mp3")).toStdString()));
    }

    void passTexts_data() {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("finished");
        QTest::addColumn<int>("failed");
        QTest::addColumn<double>("received");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("summary");
        QTest::newRow("starting") << 3 << 0 << 0 << 0.0 << QStringLiteral("0/3 个文件 0%")
                                  << QStringLiteral("0 个文件下载完毕");
        QTest::newRow("a third") << 3 << 1 << 0 << 1.0 << QStringLiteral("1/3 个文件 33%")
                                 << QStringLiteral("1 个文件下载完毕");
        // 0.29 * 100 is a hair under 29 in floating point.
        QTest::newRow("no lost percent")
            << 100 << 29 << 0 << 29.0 << QStringLiteral("29/100 个文件 29%")
            << QStringLiteral("29 个文件下载完毕");
        QTest::newRow("almost") << 2 << 1 << 0 << 1.999 << QStringLiteral("1/2 个文件 99%")
                                << QStringLiteral("1 个文件下载完毕");
        QTest::newRow("failures") << 5 << 3 << 2 << 3.0 << QStringLiteral("3/5 个文件 60%")
                                  << QStringLiteral("3 个文件下载完毕，2 个下载失败");
        QTest::newRow("no file") << 0 << 0 << 0 << 0.0 << QStringLiteral("0/0 个文件 0%")
                                 << QStringLiteral("0 个文件下载完毕");
    }
    void passTexts() {
        QFETCH(int, files);
        QFETCH(int, finished);
        QFETCH(int, failed);
        QFETCH(double, received);
        QFETCH(QString, status);
        QFETCH(QString, summary);
        const PassTally tally{files, finished, failed, received};
        QCOMPARE(q(passStatusText(tally)), status);
        QCOMPARE(q(passSummary(tally)), summary);
    }
};

QTEST_GUILESS_MAIN(DownloadRulesTest)
#include "test_download_rules.moc"
