// The failure hook's decision: which words of a failure act, and what the window then does.
#include <QtTest>
#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "app/failureactions.h"

using namespace melorin;

namespace {
QString q(const std::string& s) {
    return QString::fromStdString(s);
}
}  // namespace

class FailureActionsTest : public QObject {
    Q_OBJECT
private slots:
    void failureHook_data() {
        // origin: "unhandled" (all the text acts) or "file" (the program's own file: nothing acts)
        QTest::addColumn<QString>("origin");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("probeRow");
        QTest::addColumn<bool>("probing");
        QTest::addColumn<QString>("log");
        QTest::addColumn<bool>("fatal");
        QTest::addColumn<int>("releaseSlot");
        QTest::addColumn<bool>("skip");
        const QString unhandled = QStringLiteral("unhandled");
        const QString file = QStringLiteral("file");
        QTest::newRow("404 between files") << unhandled << "404 Not Found" << 8 << 4 << false
                                           << "404 Not Found|c4|t4不能下载" << false << 1 << true;
        QTest::newRow("404 at last row") << unhandled << "HTTP/1.1 404" << 8 << 7 << false
                                         << "HTTP/1.1 404|c7|t7不能下载" << false << 1 << false;
        QTest::newRow("socket while probing")
            << unhandled << "Socket Error # 10061" << 8 << 2 << true
            << "Socket Error # 10061|c2|t2不能下载" << false << -1 << true;
        QTest::newRow("probing last row") << unhandled << "socket" << 3 << 2 << true
                                          << "socket|c2|t2不能下载" << false << -1 << false;
        QTest::newRow("access") << unhandled << "Access violation" << 2 << 0 << false
                                << "Access violation|c0" << true << -1 << false;
        QTest::newRow("other") << unhandled << "Out of memory" << 2 << 1 << false
                               << "Out of memory|c1" << false << -1 << false;
        QTest::newRow("empty queue")
            << unhandled << "error 400" << 0 << 0 << false << "error 400" << false << 0 << false;
        // The program's own files: a user's folder may be called anything.
        QTest::newRow("play list under access/")
            << file << "cannot write /home/x/access/歌.rpm: Permission denied" << 8 << 4 << false
            << "cannot write /home/x/access/歌.rpm: Permission denied|c4" << false << -1 << false;
        QTest::newRow("card page under 40首/")
            << file << "cannot write /music/40首/card.html: No space left on device" << 8 << 4
            << false << "cannot write /music/40首/card.html: No space left on device|c4" << false
            << -1 << false;
        QTest::newRow("player page under socket/ while probing")
            << file << "cannot replace /srv/Socket/2.html: Read-only file system" << 8 << 2 << true
            << "cannot replace /srv/Socket/2.html: Read-only file system|c2" << false << -1
            << false;
        QTest::newRow("loaded list named 404.asx")
            << file << "cannot read /tmp/ACCESS 404.asx: No such file or directory" << 3 << 0
            << false << "cannot read /tmp/ACCESS 404.asx: No such file or directory|c0" << false
            << -1 << false;
        QTest::newRow("own file, empty queue")
            << file << "cannot write /40/1.rpm: Is a directory" << 0 << 0 << false
            << "cannot write /40/1.rpm: Is a directory" << false << -1 << false;
    }
    void failureHook() {
        QFETCH(QString, origin);
        QFETCH(QString, message);
        QFETCH(int, rows);
        QFETCH(int, probeRow);
        QFETCH(bool, probing);
        QFETCH(QString, log);
        QFETCH(bool, fatal);
        QFETCH(int, releaseSlot);
        QFETCH(bool, skip);
        FailureContext ctx{rows, probeRow, probing, "c" + std::to_string(probeRow),
                           "t" + std::to_string(probeRow)};
        const Failure failure = origin == u"file" ? fileFailure(message.toStdString())
                                                  : unhandledFailure(message.toStdString());
        auto a = decideFailure(failure, ctx);
        QStringList lines;
        for (const auto& l : a.logLines) lines << q(l);
        QCOMPARE(lines.join(u'|'), log);
        QCOMPARE(a.showFatalMessage, fatal);
        QCOMPARE(a.releaseSlot.value_or(-1), releaseSlot);
        QCOMPARE(a.skipProbeRow, skip);
        QCOMPARE(a.showDownloadPanel, skip);
        QCOMPARE(a.disconnectProbe, skip && probing);
    }

    // What reaches the event loop as an exception: a filesystem error's paths never act, the
    // text of any other failure does.
    void thrownFailure_data() {
        QTest::addColumn<int>("kind");  // 0 runtime_error, 1 filesystem_error, 2 an int, 3 none
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("fatal");
        QTest::addColumn<bool>("skip");
        QTest::newRow("socket error") << 0 << "Socket Error # 10054" << false << true;
        QTest::newRow("access violation") << 0 << "Access violation at 0040" << true << true;
        QTest::newRow("folder access/40首") << 1 << "/home/x/access/40首" << false << false;
        QTest::newRow("folder socket") << 1 << "/tmp/socket" << false << false;
        QTest::newRow("not an exception") << 2 << "unknown failure" << false << false;
        QTest::newRow("nothing thrown") << 3 << "unknown failure" << false << false;
    }
    void thrownFailure() {
        QFETCH(int, kind);
        QFETCH(QString, what);
        QFETCH(bool, fatal);
        QFETCH(bool, skip);
        const std::error_code denied(EACCES, std::generic_category());
        std::exception_ptr thrown;
        if (kind == 0) thrown = std::make_exception_ptr(std::runtime_error(what.toStdString()));
        if (kind == 1) {
            thrown = std::make_exception_ptr(std::filesystem::filesystem_error(
                "cannot create directory", std::filesystem::path(what.toStdString()), denied));
        }
        if (kind == 2) thrown = std::make_exception_ptr(42);
        const Failure f = failureOf(thrown);
        QVERIFY2(q(f.text).contains(what), f.text.c_str());
        QCOMPARE(q(f.cause), kind == 1 ? q(denied.message()) : kind == 0 ? what : q(f.text));
        const FailureActions a = decideFailure(f, {8, 4, false, "c4", "t4"});
        QCOMPARE(a.showFatalMessage, fatal);
        QCOMPARE(a.skipProbeRow, skip);
    }
};

QTEST_GUILESS_MAIN(FailureActionsTest)
#include "test_failureactions.moc"
