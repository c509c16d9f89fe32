// Downloads through the real window over loopback (nginx on 127.0.0.1): the whole road from
// the search list to the files on disk and the log, the exit question and the stop on close,
// and the failure hook acting on running files.

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QToolButton>

#include "app/failurehook.h"
#include "app/mainwindow.h"
#include "app/progressmodel.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "tests/app/guitestmain.h"
#include "tests/app/windowfixture.h"
#include "tests/app/windowinside.h"
#include "ui/reportview.h"

using melorin::TForm1;
using melorin::download::RowState;
using melorin::testing::RecordingUi;
using melorin::testing::WindowFixture;

namespace {

struct ServedFile {
    QString title;
    QString path;  // below the server's root
    QString type;
    qsizetype size;
};

QByteArray randomBytes(qsizetype n, quint32 seed) {
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (qsizetype i = 0; i < n; ++i) b[i] = static_cast<char>(gen.bounded(256));
    return b;
}

// Writes the files under the server's root and offers one selected search row per file.
QList<QByteArray> serve(const WindowFixture& fx, const QList<ServedFile>& files) {
    QList<QByteArray> bodies;
    std::vector<melorin::core::SongRow> rows;
    QList<int> all;
    for (int i = 0; i < files.size(); ++i) {
        const ServedFile& f = files[i];
        bodies << randomBytes(f.size, static_cast<quint32>(i + 1));
        if (!fx.serveFile(f.path, bodies.last())) return {};
        rows.push_back(melorin::testing::fileRow(QString::number(i + 1), f.title,
                                                 fx.nginxUrl(f.path),
                                                 QStringLiteral("%1 B").arg(f.size), f.type));
        all << i;
    }
    fx.offer(rows, all);
    return bodies;
}

bool allRowsIn(TForm1& form, int rows, RowState state) {
    for (int r = 0; r < rows; ++r)
        if (inside(form).downloader().rowState(r) != state) return false;
    return true;
}

// `rows` progress rows, each reading "下载已经完成".
bool progressShowsDone(TForm1& form, int rows) {
    const auto w = inside(form);
    for (int r = 0; r < w.downloads.downloadnow->rowCount(); ++r)
        if (w.progressRows().text(r, 1) != QStringLiteral("下载已经完成")) return false;
    return w.downloads.downloadnow->rowCount() == rows;
}

}  // namespace

class TestDownloadRun : public QObject {
    Q_OBJECT
private slots:
    void init() { fx_ = std::make_unique<WindowFixture>(); }
    void cleanup() { fx_.reset(); }
    void threeFilesFromSearchRowsToDisk();
    void onlyThePumpCarriesTheNews();
    void threeSongsSearchedOnTheServiceToDisk();
    void closeWhileDownloadingAsksThenStops();
    void failureHookSkipsWaitingRow();
    void errorAnswerReleasesRunningSlot();

private:
    // A shown window with nginx beside its program folder, "/slow/" at `slowRate`.
    [[nodiscard]] bool openWithNginx(const std::string& slowRate) {
        if (!fx_->startNginx(slowRate)) return false;
        fx_->createWindow();
        return fx_->showWindow();
    }

    std::unique_ptr<WindowFixture> fx_;
};

void TestDownloadRun::threeFilesFromSearchRowsToDisk() {
    QVERIFY(openWithNginx("64k"));
    TForm1& form = fx_->form();
    const auto w = inside(form);
    // The first file is throttled so that the one-second timer sees it running.
    const QList<ServedFile> files{
        {QStringLiteral("月下听风"), QStringLiteral("slow/a.mp3"), QStringLiteral("mp3"),
         1'000'003},
        {QStringLiteral("风之歌"), QStringLiteral("b.rm"), QStringLiteral("rm"), 300'000},
        {QStringLiteral("小曲"), QStringLiteral("c.wma"), QStringLiteral("wma"), 7}};
    const QList<QByteArray> bodies = serve(*fx_, files);
    QCOMPARE(bodies.size(), 3);
    QTest::mouseClick(w.play.dragdownbtn, Qt::LeftButton);
    QVERIFY(w.downloads.Iesetpanel->isVisible());
    QCOMPARE(w.downloads.downloadlistview->rowCount(), 3);
    w.downloads.downloadlistview->clearSelection();
    QTest::mouseClick(w.downloads.downbtn, Qt::LeftButton);
    // While files run, "清空列表" refuses and goes off...
    QVERIFY(fx_->stepUntil([&] { return w.downloader().snapshot().runningWorkers > 0; }, 10'000));
    QTest::mouseClick(w.downloads.delallbtn, Qt::LeftButton);
    QVERIFY(!w.downloads.delallbtn->isEnabled());
    QCOMPARE(w.downloads.downloadlistview->rowCount(), 3);

    auto finished = [&] {
        return !w.downloader().passRunning() && allRowsIn(form, 3, RowState::Finished) &&
               progressShowsDone(form, 3);
    };
    QVERIFY2(fx_->stepUntil(finished, 30'000), qPrintable(w.DownloadLog.join(u'\n')));

    for (int i = 0; i < 3; ++i) {
        const QString saved = w.queueRows().text(i, 5);
        QCOMPARE(saved, w.SaveFolder + files[i].title + u'.' + files[i].type);
        QFile f(saved);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY2(f.readAll() == bodies[i], qPrintable(saved));
        // The pass marked each started row in the queue.
        QVERIFY(w.downloads.downloadlistview->selectedRowIndexes().contains(i));
    }
    // One progress row per file, in queue order, each logged exactly once with its six lines.
    const QStringList log = fx_->logLines();
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(w.progressRows().text(r, 0), files[r].title);
        QCOMPARE(w.progressRows().text(r, 3), QString::number(r));
        const QString done = files[r].title + QStringLiteral("下载完毕!");
        QCOMPARE(log.count(done), 1);
        const qsizetype at = log.indexOf(done);
        QVERIFY(at >= 1 && at + 4 < log.size());
        QVERIFY(!log[at - 1].trimmed().isEmpty());  // date and time
        QCOMPARE(log[at + 1], QStringLiteral("保存地址：") + w.queueRows().text(r, 5));
        QCOMPARE(log[at + 2],
                 QStringLiteral("用时：") + w.progressRows().text(r, 2) + QStringLiteral("秒"));
        QCOMPARE(log[at + 3], QStringLiteral("下载地址：") + fx_->nginxUrl(files[r].path));
        QCOMPARE(log[at + 4], QStringLiteral("文件大小：%1 B").arg(files[r].size));
    }
    // The progress list's columns fit the texts they grew to ("下载已经完成").
    const QAbstractItemView* progressList =
        w.downloads.downloadnow;  // its size hints are public there
    for (int c = 0; c < w.downloads.downloadnow->columnCount(); ++c)
        QVERIFY2(w.downloads.downloadnow->columnWidth(c) >= progressList->sizeHintForColumn(c),
                 qPrintable(w.downloads.downloadnow->columnCaption(c)));
    // The throttled file ran for at least one tick, and the timer wrote the status panels.
    QVERIFY(w.progressRows().text(0, 2).toInt() >= 1);
    QVERIFY(w.status.statusPanels[1]->text().startsWith(QStringLiteral("总耗时：")));
    QVERIFY(w.status.statusPanels[1]->text().endsWith(QStringLiteral("秒")));
    QVERIFY(w.status.statusPanels[2]->text().endsWith(QStringLiteral("k/s")));
    QVERIFY(w.status.statusPanels[3]->text().endsWith(QStringLiteral("k/s")));
    // Every panel shows its whole text; the search's status line takes the rest of the bar.
    for (QLabel* panel : w.status.statusPanels)
        QVERIFY2(panel->width() >= panel->sizeHint().width(), qPrintable(panel->text()));
    QVERIFY(w.status.searchStatus->x() > w.status.statusPanels.last()->geometry().right());
    QCOMPARE(w.status.searchStatus->geometry().right(), w.status.SeSkinStatusBar1->width() - 1);
    QVERIFY(!w.Timer1().isActive());
    // Selecting a finished file fills its five bars.
    for (QProgressBar* bar : w.downloads.workerBars) bar->setValue(0);
    w.downloads.downloadnow->setCurrentIndex(w.downloads.downloadnow->model()->index(1, 0));
    QCOMPARE(w.progressBoard().selectedRow(), std::optional<int>(1));
    for (QProgressBar* bar : w.downloads.workerBars) QCOMPARE(bar->value(), bar->maximum());
    // Everything has been fetched: another press starts nothing.
    QTest::mouseClick(w.downloads.downbtn, Qt::LeftButton);
    QVERIFY(!w.downloader().passRunning());
    QCOMPARE(w.downloads.downloadnow->rowCount(), 3);
    // ...and once the pass has ended it works again.
    QVERIFY(w.downloads.delallbtn->isEnabled());
    QTest::mouseClick(w.downloads.delallbtn, Qt::LeftButton);
    QCOMPARE(w.downloads.downloadlistview->rowCount(), 0);
}

void TestDownloadRun::onlyThePumpCarriesTheNews() {
    // The pass runs on its own threads; what it did reaches the window only through the pump.
    QVERIFY(openWithNginx("2m"));
    TForm1& form = fx_->form();
    const auto w = inside(form);
    const QList<ServedFile> files{
        {QStringLiteral("风之歌"), QStringLiteral("b.rm"), QStringLiteral("rm"), 300'000},
        {QStringLiteral("小曲"), QStringLiteral("c.wma"), QStringLiteral("wma"), 7}};
    QCOMPARE(serve(*fx_, files).size(), 2);
    w.play.dragdownbtn->click();
    QVERIFY(!w.eventPump().isActive());
    w.downloads.downbtn->click();
    QVERIFY(w.eventPump().isActive());
    QTRY_VERIFY_WITH_TIMEOUT(
        !w.downloader().passRunning() && allRowsIn(form, 2, RowState::Finished), 30'000);
    const QString done = QStringLiteral("下载完毕!");
    QVERIFY2(!w.DownloadLog.join(u'\n').contains(done), qPrintable(w.DownloadLog.join(u'\n')));
    QVERIFY(!progressShowsDone(form, 2));

    // One step takes all of it, once, and the pump rests with nothing left to take.
    fx_->stepPump();
    QVERIFY(progressShowsDone(form, 2));
    for (const ServedFile& f : files) QCOMPARE(fx_->logLines().count(f.title + done), 1);
    QVERIFY(!w.eventPump().isActive());
    fx_->turn(3);
    QCOMPARE(fx_->logLines().filter(done).size(), 2);
}

void TestDownloadRun::threeSongsSearchedOnTheServiceToDisk() {
    QVERIFY2(fx_->startService(), qPrintable(fx_->serviceError()));
    TForm1& form = fx_->createWindow();
    const auto w = inside(form);
    QVERIFY(fx_->showWindow());
    // One singer's song of each of three kinds, each searched and queued from the result list.
    const QStringList kinds{QStringLiteral("mp3"), QStringLiteral("wma"), QStringLiteral("rm")};
    for (int kind : {0, 2, 1}) {
        w.bar.Edit1->clear();
        fx_->search(QStringLiteral("沈墨川"), kind);
        QVERIFY(fx_->stepUntil(
            [&] {
                return w.results.ListView1->rowCount() > 0 && !w.results.WebBrowser1->isLoading();
            },
            30'000));
        w.results.ListView1->clearSelection();
        w.results.ListView1->selectRow(0);
        QTest::mouseClick(w.play.dragdownbtn, Qt::LeftButton);
    }
    QCOMPARE(w.downloads.downloadlistview->rowCount(), 3);
    QTest::mouseClick(w.downloads.downbtn, Qt::LeftButton);
    QVERIFY2(
        fx_->stepUntil(
            [&] { return !w.downloader().passRunning() && allRowsIn(form, 3, RowState::Finished); },
            30'000),
        qPrintable(w.DownloadLog.join(u'\n')));
    const QStringList log = fx_->logLines();
    for (int i = 0; i < 3; ++i) {
        const melorin::core::SongRow row = w.queueRows().row(i);
        const QString savePath = QString::fromStdString(w.queueRows().savePath(i));
        QCOMPARE(QString::fromStdString(row.type), kinds[i]);
        QVERIFY(QString::fromStdString(row.address)
                    .startsWith(QStringLiteral("http://") + fx_->serviceHost()));
        QFile saved(savePath);
        QVERIFY2(saved.open(QIODevice::ReadOnly), qPrintable(savePath));
        QFile served(QStringLiteral(MELORIN_AUDIO_DIR "/sample.") + kinds[i]);
        QVERIFY(served.open(QIODevice::ReadOnly));
        QVERIFY2(saved.readAll() == served.readAll(), qPrintable(savePath));
        QCOMPARE(log.count(QString::fromStdString(row.title) + QStringLiteral("下载完毕!")), 1);
    }
    // The progress list shows the pass's last news once the pump has taken it.
    QVERIFY(fx_->stepUntil([&] { return progressShowsDone(form, 3); }, 5000));
}

void TestDownloadRun::closeWhileDownloadingAsksThenStops() {
    QVERIFY(openWithNginx("32k"));
    TForm1& form = fx_->form();
    const auto w = inside(form);
    RecordingUi& ui = fx_->ui();
    QVERIFY(!serve(*fx_, {{QStringLiteral("长歌"), QStringLiteral("slow/long.mp3"),
                           QStringLiteral("mp3"), 4'000'000}})
                 .isEmpty());
    w.play.dragdownbtn->click();
    w.downloads.downbtn->click();
    QVERIFY(fx_->stepUntil([&] { return w.downloader().snapshot().runningWorkers > 0; }, 10'000));

    // While files run, rows keep their indices: both removal buttons refuse and stay off.
    w.downloads.downloadlistview->selectAll();
    QTest::mouseClick(w.downloads.delbtn, Qt::LeftButton);
    QTest::mouseClick(w.downloads.delallbtn, Qt::LeftButton);
    QCOMPARE(w.downloads.downloadlistview->rowCount(), 1);
    QCOMPARE(w.downloader().jobs().size(), std::size_t{1});
    QVERIFY(!w.downloads.delbtn->isEnabled());
    QVERIFY(!w.downloads.delallbtn->isEnabled());

    QSignalSpy closed(&form, &TForm1::closed);
    ui.answerYes = false;
    QVERIFY(!form.close());
    QCOMPARE(ui.questions, QStringList{QStringLiteral("还存在下载进程，确定退出吗？")});
    QCOMPARE(closed.count(), 0);
    QVERIFY(form.isVisible());
    QVERIFY(w.downloader().snapshot().runningWorkers > 0);

    ui.answerYes = true;
    const QString savePath = QString::fromStdString(w.downloader().jobs().front().savePath);
    QVERIFY(form.close());
    // Stopped, not waited for: the 4 MB at 32 KiB/s is still a .part, never the finished file.
    QVERIFY2(!QFile::exists(savePath), "closing waited for the transfers to finish");
    QVERIFY(QFile::exists(savePath + QStringLiteral(".part")));
    QCOMPARE(ui.questions.size(), 2);
    QCOMPARE(closed.count(), 1);
    QCOMPARE(w.downloader().snapshot().runningWorkers, 0);
    QVERIFY(!w.downloader().passRunning());
    QVERIFY(!w.Timer1().isActive());
    QVERIFY(!w.downloads.delbtn->isEnabled());
    QVERIFY(!w.downloader().exitQuestionNeeded());
}

void TestDownloadRun::failureHookSkipsWaitingRow() {
    QVERIFY(openWithNginx("32k"));
    TForm1& form = fx_->form();
    const auto w = inside(form);
    RecordingUi& ui = fx_->ui();
    QList<ServedFile> files;
    for (int i = 0; i < 5; ++i)
        files.push_back({QStringLiteral("歌%1").arg(i), QStringLiteral("slow/%1.mp3").arg(i),
                         QStringLiteral("mp3"), 2'000'000});
    QCOMPARE(serve(*fx_, files).size(), 5);
    w.play.dragdownbtn->click();
    w.downloads.downbtn->click();
    // Rows 0 to 2 run in slots 0 to 2; row 3 has been probed and waits for slot 0.
    auto waitingAt = [&](int row) {
        return [&form, &w, row] {
            return allRowsIn(form, 3, RowState::Running) && w.downloader().probeRow() == row &&
                   w.downloader().probing();
        };
    };
    QVERIFY(fx_->stepUntil(waitingAt(3), 10'000));

    w.functions.Button3->click();
    melorin::reportFailure(QStringLiteral("Socket Error # 10054 Connection reset by peer."));
    QVERIFY(w.downloads.Iesetpanel->isVisible());
    QVERIFY(fx_->logLines().contains(QStringLiteral("歌3不能下载")));
    QVERIFY(fx_->stepUntil([&] { return w.downloader().rowState(3) == RowState::Skipped; }, 5000));
    // The pass goes on with row 4, which waits for slot 1.
    QVERIFY(fx_->stepUntil(waitingAt(4), 10'000));

    // At the last row the hook only logs: nothing left to skip to.
    w.functions.Button3->click();
    melorin::reportFailure(QStringLiteral("HTTP/1.1 404 Not Found"));
    QVERIFY(!w.downloads.Iesetpanel->isVisible());
    QVERIFY(fx_->logLines().contains(QStringLiteral("歌4不能下载")));
    fx_->turn(3);  // what the pass still had to say has been taken
    QCOMPARE(w.downloader().rowState(4), RowState::Probing);
    QCOMPARE(w.downloads.downloadnow->rowCount(),
             3);  // the skipped row never got a progress row
    QVERIFY(ui.messages.isEmpty());
    QVERIFY(form.close());
}

void TestDownloadRun::errorAnswerReleasesRunningSlot() {
    QVERIFY(openWithNginx("32k"));
    TForm1& form = fx_->form();
    const auto w = inside(form);
    RecordingUi& ui = fx_->ui();
    QCOMPARE(serve(*fx_, {{QStringLiteral("长歌"), QStringLiteral("slow/long.mp3"),
                           QStringLiteral("mp3"), 4'000'000}})
                 .size(),
             1);
    w.play.dragdownbtn->click();
    w.downloads.downbtn->click();
    QVERIFY(
        fx_->stepUntil([&] { return w.downloader().rowState(0) == RowState::Running; }, 10'000));
    melorin::reportFailure(QStringLiteral("HTTP/1.1 404 Not Found"));
    QVERIFY(fx_->stepUntil(
        [&] { return w.progressRows().text(0, 1) == QStringLiteral("下载失败"); }, 5000));
    QCOMPARE(w.downloader().rowState(0), RowState::Failed);
    QCOMPARE(w.downloader().snapshot().runningWorkers, 0);
    const QStringList log = fx_->logLines();
    QVERIFY(log.contains(QStringLiteral("长歌不能下载")));
    QVERIFY(std::any_of(log.begin(), log.end(), [](const QString& l) {
        return l.startsWith(QStringLiteral("长歌下载失败!"));
    }));
    QVERIFY(!log.contains(QStringLiteral("长歌下载完毕!")));
    QVERIFY(!w.Timer1().isActive());
    QVERIFY(ui.questions.isEmpty());
    QVERIFY(form.close());
    QVERIFY(ui.questions.isEmpty());
}

MELORIN_GUI_TEST_MAIN(TestDownloadRun)
#include "test_downloadrun.moc"
