// Downloads that survive closing the window: the real main window, offscreen, against nginx on
// 127.0.0.1. Closed while two files download, a new window on the same program folder has the
// rows back in its queue and finishes them with "开始下载", from the bytes already received.

#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QToolButton>

#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "download/resumestate.h"
#include "tests/app/guitestmain.h"
#include "tests/app/recordingui.h"
#include "tests/support/nginxserver.h"
#include "ui/reportview.h"

using melorin::TForm1;
using melorin::download::RowState;
using melorin::testing::NginxServer;
using melorin::testing::RecordingUi;

namespace {

QByteArray randomBytes(qsizetype n, quint32 seed) {
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (qsizetype i = 0; i < n; ++i) b[i] = static_cast<char>(gen.bounded(256));
    return b;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

qint64 savedBytes(const QString& savePath) {
    const auto state = melorin::download::decodeResumeState(
        fileBytes(savePath + QStringLiteral(".part.state")).toStdString());
    return state ? melorin::download::rangeBytes(state->received) : 0;
}

// Lets the window work, firing its one-second timer every 200 ms, until done() or the time is up.
template <typename Done>
bool runUntil(RecordingUi& ui, Done done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (done()) return true;
        QTest::qWait(200);
        if (ui.lastTicker != nullptr && ui.lastTicker->isActive()) ui.lastTicker->fire();
    }
    return done();
}

}  // namespace

class TestDownloadResume : public QObject {
    Q_OBJECT
private slots:
    void unfinishedRowsComeBackAndFinish();
};

void TestDownloadResume::unfinishedRowsComeBackAndFinish() {
    QTemporaryDir dir;
    const QString serverDir = dir.path() + QStringLiteral("/nginx");
    QVERIFY(QDir().mkpath(serverDir));
    NginxServer server(serverDir.toStdString(), "256k");
    QVERIFY(server.running());
    const QStringList titles{QStringLiteral("月下听风"), QStringLiteral("风之歌")};
    QList<QByteArray> bodies;
    QStringList saved;
    {
        RecordingUi ui;
        TForm1 form(ui, {dir.path(), {}});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (int i = 0; i < titles.size(); ++i) {
            bodies << randomBytes(3'000'000 + i, static_cast<quint32>(i + 7));
            const QString name = QStringLiteral("slow/%1.mp3").arg(i);
            QFile out(QString::fromStdString(server.www()) + u'/' + name);
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bodies.last()) == bodies[i].size());
            out.close();
            form.resultRows().appendRows(
                {{melorin::core::RowShape::File, std::to_string(i + 1), 0, titles[i].toStdString(),
                  QStringLiteral("http://127.0.0.1:%1/%2")
                      .arg(server.port())
                      .arg(name)
                      .toStdString(),
                  "3 M", "mp3"}});
        }
        {
            const QSignalBlocker quiet(form.ListView1->selectionModel());
            form.ListView1->selectAll();
        }
        QTest::mouseClick(form.dragdownbtn, Qt::LeftButton);
        for (int r = 0; r < 2; ++r) saved << form.queueRows().text(r, 5);
        QTest::mouseClick(form.downbtn, Qt::LeftButton);
        // Both files have bytes on disk and named in their state files, none is complete.
        QVERIFY(runUntil(
            ui, [&] { return savedBytes(saved[0]) > 200'000 && savedBytes(saved[1]) > 200'000; },
            20'000));
        QVERIFY(form.downloader().rowState(0) == RowState::Running);
        ui.answerYes = true;
        QVERIFY(form.close());  // after the exit question
        QCOMPARE(ui.questions.size(), 1);
    }
    for (const QString& path : saved) {
        QVERIFY(!QFile::exists(path));
        QVERIFY(QFile::exists(path + QStringLiteral(".part")));
    }

    RecordingUi ui;
    TForm1 form(ui, {dir.path(), {}});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.downloadlistview->rowCount(), 2);
    for (int r = 0; r < 2; ++r) {
        QCOMPARE(form.queueRows().text(r, 1), titles[r]);
        QCOMPARE(form.queueRows().text(r, 5), saved[r]);
    }
    const QStringList log = form.DownloadLog;
    QCOMPARE(log.count(QStringLiteral("上次未完成的2个下载已放回下载列表，按“开始下载”继续")), 1);

    QTest::mouseClick(form.downbtn, Qt::LeftButton);
    QVERIFY2(runUntil(
                 ui,
                 [&] {
                     return !form.downloader().passRunning() &&
                            form.downloader().rowState(0) == RowState::Finished &&
                            form.downloader().rowState(1) == RowState::Finished;
                 },
                 60'000),
             qPrintable(form.DownloadLog.join(u'\n')));
    const QString text = form.DownloadLog.join(u'\n');
    for (int r = 0; r < 2; ++r) {
        QVERIFY2(fileBytes(saved[r]) == bodies[r], qPrintable(saved[r]));
        QVERIFY(!QFile::exists(saved[r] + QStringLiteral(".part")));
        QVERIFY(!QFile::exists(saved[r] + QStringLiteral(".part.state")));
        QVERIFY2(text.contains(titles[r] + QStringLiteral("：接着上次下载")), qPrintable(text));
    }
    // Nothing is left unfinished: a third window starts with an empty queue.
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(dir.path() + QStringLiteral("/downloads.queue")), 5000);
    QVERIFY(form.close());
    RecordingUi ui3;
    TForm1 third(ui3, {dir.path(), {}});
    QCOMPARE(third.downloadlistview->rowCount(), 0);
}

MELORIN_GUI_TEST_MAIN(TestDownloadResume)
#include "test_downloadresume.moc"
