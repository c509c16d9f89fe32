// The real program: it starts, shows its window and ends with exit code 0 when its window closes.

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

class TestProcessExit : public QObject {
    Q_OBJECT
private slots:
    void closingTheWindowEndsWithZero();
};

void TestProcessExit::closingTheWindowEndsWithZero() {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MELORIN_REPORT_STARTUP"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QStringLiteral(MELORIN_EXE), {});
    QVERIFY(p.waitForStarted(10000));
    QByteArray err;
    QDeadlineTimer deadline(60000);
    while (!err.contains("window shown") && !deadline.hasExpired() &&
           p.state() == QProcess::Running) {
        p.waitForReadyRead(500);
        err += p.readAllStandardError();
    }
    QVERIFY2(err.contains("window shown"), err.constData());
    // A session ending sends SIGTERM; the window closes as through its close button.
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestProcessExit)
#include "test_process_exit.moc"
