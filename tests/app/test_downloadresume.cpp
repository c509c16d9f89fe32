// Downloads that survive closing the window: the real main window, offscreen, against nginx on
// 127.0.0.1. Closed while two files download, a new window on the same program folder has the
// rows back in its queue and finishes them with "开始下载", from the bytes already received.

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
#include "tests/app/windowfixture.h"
#include "tests/app/windowinside.h"
#include "tests/support/files.h"
#include "ui/reportview.h"

using melorin::TForm1;
using melorin::download::RowState;
using melorin::testing::WindowFixture;

namespace {

QByteArray randomBytes(qsizetype n, quint32 seed) {
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (qsizetype i = 0; i < n; ++i) b[i] = static_cast<char>(gen.bounded(256));
    return b;
}

using melorin::testing::fileBytes;

qint64 savedBytes(const QString& savePath) {
    const auto state = melorin::download::decodeResumeState(
        fileBytes(savePath + QStringLiteral(".part.state")).toStdString());
    return state ? melorin::download::rangeBytes(state->received) : 0;
}

}  // namespace

class TestDownloadResume : public QObject {
    Q_OBJECT
private slots:
    void unfinishedRowsComeBackAndFinish();
};

void TestDownloadResume::unfinishedRowsComeBackAndFinish() {
    WindowFixture fx;
    QVERIFY(fx.startNginx("256k"));
    const QStringList titles{QStringLiteral("月下听风"), QStringLiteral("风之歌")};
    QList<QByteArray> bodies;
    QStringList saved;
    {
        TForm1& form = fx.createWindow();
        QVERIFY(fx.showWindow());
        std::vector<melorin::core::SongRow> rows;
        for (int i = 0; i < titles.size(); ++i) {
            bodies << randomBytes(3'000'000 + i, static_cast<quint32>(i + 7));
            const QString name = QStringLiteral("slow/%1.mp3").arg(i);
            QVERIFY(fx.serveFile(name, bodies.last()));
            rows.push_back(melorin::testing::fileRow(QString::number(i + 1), titles[i],
                                                     fx.nginxUrl(name), QStringLiteral("3 M"),
                                                     QStringLiteral("mp3")));
        }
        fx.queue(rows);
        for (int r = 0; r < 2; ++r) saved << inside(form).queueRows().text(r, 5);
        QTest::mouseClick(inside(form).downloads.downbtn, Qt::LeftButton);
        // Both files have bytes on disk and named in their state files, none is complete.
        QVERIFY(fx.stepUntil(
            [&] { return savedBytes(saved[0]) > 200'000 && savedBytes(saved[1]) > 200'000; },
            20'000));
        QVERIFY(inside(form).downloader().rowState(0) == RowState::Running);
        fx.ui().answerYes = true;
        QVERIFY(form.close());  // after the exit question
        QCOMPARE(fx.ui().questions.size(), 1);
        fx.closeWindow();
    }
    for (const QString& path : saved) {
        QVERIFY(!QFile::exists(path));
        QVERIFY(QFile::exists(path + QStringLiteral(".part")));
    }

    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    QVERIFY(fx.showWindow());
    QCOMPARE(w.downloads.downloadlistview->rowCount(), 2);
    for (int r = 0; r < 2; ++r) {
        QCOMPARE(w.queueRows().text(r, 1), titles[r]);
        QCOMPARE(w.queueRows().text(r, 5), saved[r]);
    }
    const QStringList log = w.DownloadLog;
    QCOMPARE(log.count(QStringLiteral("上次未完成的2个下载已放回下载列表，按“开始下载”继续")), 1);

    QTest::mouseClick(w.downloads.downbtn, Qt::LeftButton);
    QVERIFY2(fx.stepUntil(
                 [&] {
                     return !w.downloader().passRunning() &&
                            w.downloader().rowState(0) == RowState::Finished &&
                            w.downloader().rowState(1) == RowState::Finished;
                 },
                 60'000),
             qPrintable(w.DownloadLog.join(u'\n')));
    const QString text = w.DownloadLog.join(u'\n');
    for (int r = 0; r < 2; ++r) {
        QVERIFY2(fileBytes(saved[r]) == bodies[r], qPrintable(saved[r]));
        QVERIFY(!QFile::exists(saved[r] + QStringLiteral(".part")));
        QVERIFY(!QFile::exists(saved[r] + QStringLiteral(".part.state")));
        QVERIFY2(text.contains(titles[r] + QStringLiteral("：接着上次下载")), qPrintable(text));
    }
    // Nothing is left unfinished: a third window starts with an empty queue.
    QVERIFY(fx.stepUntil(
        [&] { return !QFile::exists(fx.programDir() + QStringLiteral("/downloads.queue")); },
        5000));
    QVERIFY(form.close());
    QCOMPARE(inside(fx.createWindow()).downloads.downloadlistview->rowCount(), 0);
}

MELORIN_GUI_TEST_MAIN(TestDownloadResume)
#include "test_downloadresume.moc"
