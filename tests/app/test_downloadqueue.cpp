// The download queue of the real window, offscreen: adding from the search list, removing,
// the save-folder chooser's two modes and the failure hook's actions on an idle queue.

#include <QDir>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QTreeView>

#include "app/failurehook.h"
#include "app/logtime.h"
#include "app/mainwindow.h"
#include "app/selectdir.h"
#include "app/songrowmodel.h"
#include "tests/app/guitestmain.h"
#include "tests/app/windowfixture.h"
#include "tests/app/windowinside.h"
#include "ui/reportview.h"

using melorin::TForm1;
using melorin::TForm2;
using melorin::testing::RecordingUi;
using melorin::testing::WindowFixture;

namespace {

// The search list as a search leaves it: three file rows and one list entry.
std::vector<melorin::core::SongRow> searchRows() {
    using melorin::core::RowShape;
    return {{RowShape::File, "1", 0, "月下听风", "http://127.0.0.1:9/s01/1.mp3", "8.5 M", "mp3"},
            {RowShape::File, "2", 1, "风之歌", "http://127.0.0.1:9/s02/2.rm", "2.1 M", "rm"},
            melorin::core::listEntry("3", "沈墨川", "http://127.0.0.1:9/singer/3.html"),
            {RowShape::File, "4", 2, "a/../b", "http://127.0.0.1:9/s03/4", "1 M", ""}};
}

// Quietly: selecting a list entry would start its search at once and clear the list.
void selectRows(melorin::ui::ReportView* view, const QList<int>& rows) {
    const QSignalBlocker quiet(view->selectionModel());
    view->clearSelection();
    for (int r : rows) view->selectRow(r);
}

QStringList savePaths(TForm1& form) {
    QStringList paths;
    for (int r = 0; r < inside(form).downloads.downloadlistview->rowCount(); ++r)
        paths << inside(form).queueRows().text(r, 5);
    return paths;
}

QStringList logLines(TForm1& form) {
    return inside(form).DownloadLog;
}

}  // namespace

class TestDownloadQueue : public QObject {
    Q_OBJECT
private slots:
    void addingRows_data();
    void addingRows();
    void newFolderOnlyForLaterRows();
    void removeSelectedAndClear();
    void chooserIsHiddenAndNotModal();
    void chooserDefaultMode_data();
    void chooserDefaultMode();
    void chooserRetargetsSelectedRows();
    void chooserClosedKeepsRetargetMode();
    void retargetWithoutSelectionDoesNothing();
    void failureHookOnIdleQueue_data();
    void failureHookOnIdleQueue();
    void fatalFailureClosesBothWindows();
    void completionTimeWithoutZone_data();
    void completionTimeWithoutZone();
};

void TestDownloadQueue::addingRows_data() {
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("presses");
    QTest::addColumn<QStringList>("names");  // file names inside SaveFolder
    QTest::newRow("two file rows")
        << QList<int>{0, 1} << 1
        << QStringList{QStringLiteral("月下听风.mp3"), QStringLiteral("风之歌.rm")};
    QTest::newRow("list entry is not queued") << QList<int>{2} << 1 << QStringList{};
    QTest::newRow("file rows around a list entry")
        << QList<int>{1, 2, 3} << 1
        << QStringList{QStringLiteral("风之歌.rm"), QStringLiteral("a_._b.")};
    QTest::newRow("nothing selected") << QList<int>{} << 1 << QStringList{};
    // Two rows never write one file: the second is numbered.
    QTest::newRow("same row twice")
        << QList<int>{0} << 2
        << QStringList{QStringLiteral("月下听风.mp3"), QStringLiteral("月下听风 (2).mp3")};
}

void TestDownloadQueue::addingRows() {
    QFETCH(QList<int>, selected);
    QFETCH(int, presses);
    QFETCH(QStringList, names);
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    QVERIFY(fx.showWindow());
    fx.offer(searchRows(), selected);
    for (int i = 0; i < presses; ++i) QTest::mouseClick(w.play.dragdownbtn, Qt::LeftButton);

    QStringList expected;
    for (const QString& n : names) expected << w.SaveFolder + n;
    QCOMPARE(savePaths(form), expected);
    QCOMPARE(static_cast<int>(w.downloader().jobs().size()), names.size());
    // Caption, icon and the four sub-items come over unchanged; the core holds the same rows.
    int q = 0;
    for (int i = 0; i < presses; ++i) {
        for (int s : selected) {
            const melorin::core::SongRow from = w.resultRows().row(s);
            if (!from.isFile()) continue;
            QCOMPARE(w.queueRows().row(q), from);
            QCOMPARE(w.downloader().jobs()[static_cast<std::size_t>(q)].savePath,
                     w.queueRows().savePath(q));
            ++q;
        }
    }
    // In every case the download view comes up.
    QVERIFY(w.downloads.Iesetpanel->isVisible());
    QVERIFY(!w.results.ListView1->isVisible());
}

void TestDownloadQueue::newFolderOnlyForLaterRows() {
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    TForm2 chooser(form);
    fx.offer(searchRows(), {0});
    w.play.dragdownbtn->click();
    const QString first = w.SaveFolder + QStringLiteral("月下听风.mp3");
    w.bar.SeSkinButton1->click();
    chooser.pathedit->setText(fx.programDir() + QStringLiteral("/other"));
    chooser.pathbtn->click();
    QCOMPARE(w.SaveFolder, fx.programDir() + QStringLiteral("/other/"));
    selectRows(w.results.ListView1, {1});
    w.play.dragdownbtn->click();
    QCOMPARE(savePaths(form),
             (QStringList{first, fx.programDir() + QStringLiteral("/other/风之歌.rm")}));
}

void TestDownloadQueue::removeSelectedAndClear() {
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    RecordingUi& ui = fx.ui();
    fx.offer(searchRows(), {0, 1, 3});
    w.play.dragdownbtn->click();
    w.play.dragdownbtn->click();  // six rows: 0 1 3 0 1 3
    QCOMPARE(w.downloads.downloadlistview->rowCount(), 6);

    w.downloads.downloadlistview->clearSelection();
    w.downloads.delbtn->click();  // nothing selected: nothing removed
    QCOMPARE(w.downloads.downloadlistview->rowCount(), 6);

    selectRows(w.downloads.downloadlistview, {0, 2, 4});
    w.downloads.delbtn->click();
    QCOMPARE(w.downloads.downloadlistview->rowCount(), 3);
    QStringList titles;
    for (int r = 0; r < 3; ++r) titles << w.queueRows().text(r, 1);
    QCOMPARE(titles, (QStringList{QStringLiteral("风之歌"), QStringLiteral("月下听风"),
                                  QStringLiteral("a/../b")}));
    const auto jobs = w.downloader().jobs();
    QCOMPARE(jobs.size(), std::size_t{3});
    for (int r = 0; r < 3; ++r)
        QCOMPARE(QString::fromStdString(jobs[static_cast<std::size_t>(r)].title), titles[r]);
    QVERIFY(w.downloads.delbtn->isEnabled());

    w.downloads.delallbtn->click();
    QCOMPARE(w.downloads.downloadlistview->rowCount(), 0);
    QVERIFY(w.downloader().jobs().empty());
    QVERIFY(w.downloads.delallbtn->isEnabled());
    QVERIFY(ui.questions.isEmpty());
}

void TestDownloadQueue::chooserIsHiddenAndNotModal() {
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    TForm2 chooser(form);
    QCOMPARE(w.Form2(), &chooser);
    QVERIFY(!chooser.isVisible());
    QCOMPARE(chooser.windowTitle(), QStringLiteral("选择保存目录"));
    QCOMPARE(chooser.clientArea()->size(), QSize(158, 264));
    QCOMPARE(chooser.pathbtn->text(), QStringLiteral("确定"));
    QVERIFY(chooser.pathedit->text().isEmpty());
    form.show();
    w.bar.SeSkinButton1->click();
    QVERIFY(chooser.isVisible());
    QVERIFY(!chooser.isModal());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(!w.retargetRows);
    // Only a mouse click in the tree fills the edit box.
    const QModelIndex folder = chooser.folders->index(fx.programDir());
    QVERIFY(folder.isValid());
    chooser.ShellTreeView1->setCurrentIndex(folder);
    QVERIFY(chooser.pathedit->text().isEmpty());
    chooser.ShellTreeView1Click(folder);
    QCOMPARE(chooser.pathedit->text(), fx.programDir());
}

void TestDownloadQueue::chooserDefaultMode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("saveFolder");  // "" : unchanged
    QTest::newRow("a folder") << QStringLiteral("/srv/music") << QStringLiteral("/srv/music/");
    QTest::newRow("the root gets a second slash") << QStringLiteral("/") << QStringLiteral("//");
    QTest::newRow("empty changes nothing") << QString() << QString();
}

void TestDownloadQueue::chooserDefaultMode() {
    QFETCH(QString, text);
    QFETCH(QString, saveFolder);
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    TForm2 chooser(form);
    const QString before = w.SaveFolder;
    w.bar.SeSkinButton1->click();
    chooser.pathedit->setText(text);
    chooser.pathbtnClick();
    QCOMPARE(w.SaveFolder, saveFolder.isEmpty() ? before : saveFolder);
    QVERIFY(!chooser.isVisible());
    QVERIFY(!w.retargetRows);
}

void TestDownloadQueue::chooserRetargetsSelectedRows() {
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    TForm2 chooser(form);
    fx.offer(searchRows(), {0, 1, 3});
    w.play.dragdownbtn->click();
    const QStringList before = savePaths(form);
    const QString folderBefore = w.SaveFolder;
    QVERIFY(QDir(fx.programDir()).mkdir(QStringLiteral("mp3")));
    const QString target = fx.programDir() + QStringLiteral("/mp3");

    // An empty edit box would mean the file-system root: the rows keep their paths.
    selectRows(w.downloads.downloadlistview, {0, 2});
    w.downloads.SeSkinButton3->click();
    QVERIFY(w.retargetRows);
    QVERIFY(chooser.isVisible());
    chooser.pathbtn->click();
    QCOMPARE(savePaths(form), before);
    QVERIFY(!w.retargetRows);

    w.downloads.SeSkinButton3->click();
    chooser.ShellTreeView1Click(chooser.folders->index(target));
    QCOMPARE(chooser.pathedit->text(), target);
    chooser.pathbtn->click();
    QCOMPARE(savePaths(form), (QStringList{target + QStringLiteral("/月下听风.mp3"), before[1],
                                           target + QStringLiteral("/a_._b.")}));
    QCOMPARE(QString::fromStdString(w.downloader().jobs()[2].savePath),
             target + QStringLiteral("/a_._b."));
    QCOMPARE(w.SaveFolder, folderBefore);
    QVERIFY(!w.retargetRows);
    QVERIFY(!chooser.isVisible());
}

void TestDownloadQueue::chooserClosedKeepsRetargetMode() {
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    TForm2 chooser(form);
    fx.offer(searchRows(), {0, 1});
    w.play.dragdownbtn->click();
    selectRows(w.downloads.downloadlistview, {1});
    w.downloads.SeSkinButton3->click();
    chooser.close();  // the frame's close button only hides it
    QVERIFY(!chooser.isVisible());
    QVERIFY(w.retargetRows);
    const QString folderBefore = w.SaveFolder;
    w.bar.SeSkinButton1->click();  // "保存目录" now still retargets the selected rows
    chooser.pathedit->setText(fx.programDir());
    chooser.pathbtnClick();
    QCOMPARE(w.SaveFolder, folderBefore);
    QCOMPARE(w.queueRows().text(1, 5), fx.programDir() + QStringLiteral("/风之歌.rm"));
    QVERIFY(!w.retargetRows);
}

void TestDownloadQueue::retargetWithoutSelectionDoesNothing() {
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    TForm2 chooser(form);
    fx.offer(searchRows(), {0});
    w.play.dragdownbtn->click();
    w.downloads.downloadlistview->clearSelection();
    w.downloads.SeSkinButton3->click();
    QVERIFY(!w.retargetRows);
    QVERIFY(!chooser.isVisible());
}

void TestDownloadQueue::failureHookOnIdleQueue_data() {
    QTest::addColumn<int>("queueRows");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<bool>("panelShown");
    const QString cantFetch = QStringLiteral("月下听风不能下载");
    QTest::newRow("other failure")
        << 2 << QStringLiteral("disk full")
        << QStringList{QStringLiteral("disk full"), QStringLiteral("1")} << false;
    QTest::newRow("socket skips to the next row")
        << 2 << QStringLiteral("Socket Error # 10061")
        << QStringList{QStringLiteral("Socket Error # 10061"), QStringLiteral("1"), cantFetch}
        << true;
    QTest::newRow("error answer") << 3 << QStringLiteral("HTTP/1.1 404 Not Found")
                                  << QStringList{QStringLiteral("HTTP/1.1 404 Not Found"),
                                                 QStringLiteral("1"), cantFetch}
                                  << true;
    QTest::newRow("last row: only the slot is released")
        << 1 << QStringLiteral("403 Forbidden")
        << QStringList{QStringLiteral("403 Forbidden"), QStringLiteral("1"), cantFetch} << false;
    QTest::newRow("empty queue") << 0 << QStringLiteral("socket closed")
                                 << QStringList{QStringLiteral("socket closed")} << false;
}

void TestDownloadQueue::failureHookOnIdleQueue() {
    QFETCH(int, queueRows);
    QFETCH(QString, message);
    QFETCH(QStringList, log);
    QFETCH(bool, panelShown);
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    RecordingUi& ui = fx.ui();
    QVERIFY(fx.showWindow());
    fx.offer(searchRows(), {0});
    for (int i = 0; i < queueRows; ++i) w.play.dragdownbtn->click();
    w.functions.Button3->click();
    melorin::reportFailure(message);
    QCOMPARE(logLines(form), log);
    QCOMPARE(w.downloads.Iesetpanel->isVisible(), panelShown);
    QVERIFY(ui.messages.isEmpty());
    QVERIFY(form.isVisible());
}

void TestDownloadQueue::fatalFailureClosesBothWindows() {
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    RecordingUi& ui = fx.ui();
    TForm2 chooser(form);
    QVERIFY(fx.showWindow());
    inside(form).bar.SeSkinButton1->click();
    QVERIFY(chooser.isVisible());
    QSignalSpy closed(&form, &TForm1::closed);
    melorin::reportFailure(QStringLiteral("Access violation at address 00000000"));
    QCOMPARE(ui.messages, QStringList{QStringLiteral("出现致命错误，应用程序将关闭！！！")});
    QVERIFY(ui.questions.isEmpty());  // nothing runs: no exit question
    QVERIFY(!chooser.isVisible());
    QVERIFY(!form.isVisible());
    QCOMPARE(closed.count(), 1);
    QVERIFY(logLines(form).contains(QStringLiteral("Access violation at address 00000000")));
}

void TestDownloadQueue::completionTimeWithoutZone_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("time");
    const QDate day(2026, 12, 8);
    QTest::newRow("zh_CN, UTC") << QStringLiteral("zh_CN")
                                << QDateTime(day, QTime(5, 4, 51), Qt::UTC)
                                << QStringLiteral("05:04:51");
    QTest::newRow("en_US, afternoon")
        << QStringLiteral("en_US") << QDateTime(day, QTime(17, 0, 9), Qt::UTC)
        << QStringLiteral("17:00:09");
    QTest::newRow("de_DE, offset zone")
        << QStringLiteral("de_DE") << QDateTime(day, QTime(23, 59, 59), Qt::OffsetFromUTC, 3600)
        << QStringLiteral("23:59:59");
}

void TestDownloadQueue::completionTimeWithoutZone() {
    QFETCH(QString, locale);
    QFETCH(QDateTime, when);
    QFETCH(QString, time);
    const QLocale l(locale);
    const QString line = melorin::completionDateTime(when, l);
    QCOMPARE(line, l.toString(when.date(), QLocale::ShortFormat) + u' ' + time);
    QVERIFY2(!line.contains(QStringLiteral("UTC")) && !line.contains(QStringLiteral("GMT")) &&
                 !line.contains(u'+'),
             qPrintable(line));
}

MELORIN_GUI_TEST_MAIN(TestDownloadQueue)
#include "test_downloadqueue.moc"
