// The real program: it starts, shows its window and ends with exit code 0 when its window closes;
// a second start on the same program folder brings the first window to the front and ends.

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

class TestProcessExit : public QObject {
    Q_OBJECT
private slots:
    void closingTheWindowEndsWithZero();
    void secondStartBringsTheFirstToTheFront();
};

namespace {

// Starts the program and waits until its window is on screen; the standard error read so far.
QByteArray startShown(QProcess& p, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MELORIN_REPORT_STARTUP"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QStringLiteral(MELORIN_EXE), args);
    if (!p.waitForStarted(10000)) return {};
    QByteArray err;
    QDeadlineTimer deadline(60000);
    while (!err.contains("window shown") && !deadline.hasExpired() &&
           p.state() == QProcess::Running) {
        p.waitForReadyRead(500);
        err += p.readAllStandardError();
    }
    return err;
}

}  // namespace

void TestProcessExit::closingTheWindowEndsWithZero() {
    QProcess p;
    const QByteArray err = startShown(p, {});
    QVERIFY2(err.contains("window shown"), err.constData());
    // A session ending sends SIGTERM; the window closes as through its close button.
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
}

void TestProcessExit::secondStartBringsTheFirstToTheFront() {
    QTemporaryDir folder;
    const QStringList args{QStringLiteral("--program-folder"), folder.path()};
    QProcess first;
    QByteArray err = startShown(first, args);
    QVERIFY2(err.contains("window shown"), err.constData());

    QProcess second;
    second.setProcessChannelMode(QProcess::SeparateChannels);
    second.start(QStringLiteral(MELORIN_EXE), args);
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    const QByteArray said = second.readAllStandardError();
    QVERIFY2(said.contains("already running"), said.constData());
    QVERIFY2(!said.contains("window shown"), said.constData());  // it never made a window

    QDeadlineTimer deadline(30000);
    while (!err.contains("to the front") && !deadline.hasExpired()) {
        first.waitForReadyRead(500);
        err += first.readAllStandardError();
    }
    QVERIFY2(err.contains("to the front"), err.constData());
    QCOMPARE(first.state(), QProcess::Running);

    // Another folder is another program.
    QTemporaryDir elsewhere;
    QProcess third;
    const QByteArray thirdSaid =
        startShown(third, {QStringLiteral("--program-folder"), elsewhere.path()});
    QVERIFY2(thirdSaid.contains("window shown"), thirdSaid.constData());
    for (QProcess* p : {&first, &third}) {
        ::kill(static_cast<pid_t>(p->processId()), SIGTERM);
        QVERIFY(p->waitForFinished(30000));
        QCOMPARE(p->exitCode(), 0);
    }
}

QTEST_GUILESS_MAIN(TestProcessExit)
#include "test_process_exit.moc"
