// What desktop users expect of the window, driven as a user does: opening what was downloaded,
// the notification and task bar progress of a pass, the lists' right-click menus, sorting the
// result list by its header, the lists' keys and the names assistive technology reads. Desktop
// calls are checked as the recording port received them.

#include <QAccessible>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRandomGenerator>
#include <QToolButton>
#include <QWindow>

#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "tests/app/guitestmain.h"
#include "tests/app/windowfixture.h"
#include "tests/app/windowinside.h"
#include "ui/reportview.h"

using melorin::TForm1;
using melorin::core::SongRow;
using melorin::testing::fileRow;
using melorin::testing::OfferedMenu;
using melorin::testing::WindowFixture;
using melorin::ui::ReportView;

namespace {

const QString kOpen = QStringLiteral("打开");
const QString kOpenFolder = QStringLiteral("打开所在文件夹");
const QStringList kQueueMenu = {kOpen,
                                kOpenFolder,
                                QStringLiteral("-"),
                                QStringLiteral("开始下载"),
                                QStringLiteral("删除所选项"),
                                QStringLiteral("清空列表"),
                                QStringLiteral("修改保存地址")};

QByteArray someBytes(qsizetype n) {
    QByteArray b(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        b[i] = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return b;
}

// A right-click on a row (or below the rows for -1) through the window system, which turns the
// press into the list's context menu as it would for a mouse.
void rightClick(ReportView* list, int row) {
    const QPoint at =
        row >= 0 ? list->rowRect(row).center() : QPoint(5, list->viewport()->height() - 5);
    const QPoint inWindow = list->viewport()->mapTo(list->window(), at);
    QTest::mouseClick(list->window()->windowHandle(), Qt::RightButton, {}, inWindow);
}

void click(ReportView* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->rowRect(row).center());
}

// A press and release, then the second press that makes it a double-click.
void doubleClick(ReportView* list, int row) {
    click(list, row);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->rowRect(row).center());
}

// The captions top to bottom, as one text.
QString shownCaptions(const ReportView* list) {
    QStringList captions;
    for (int r = 0; r < list->rowCount(); ++r)
        captions << list->model()->index(r, 0).data().toString();
    return captions.join(u' ');
}

void clickHeader(ReportView* list, int section) {
    QHeaderView* header = list->header();
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

QString accessibleName(QObject* object) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(object);
    return a != nullptr ? a->text(QAccessible::Name) : QString();
}

}  // namespace

class TestDesktopWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { fx_ = std::make_unique<WindowFixture>(); }
    void cleanup() { fx_.reset(); }
    void openWhatWasDownloaded();
    void passEndIsAnnounced();
    void listMenus_data();
    void listMenus();
    void resultListSortsByHeader();
    void listKeys();
    void accessibleNames();

private:
    // Downloads three rows from nginx: a song, a launcher file and one the server lacks; waits
    // until the pass has ended and been announced.
    void runPass();
    // Three rows offered, all in the play list, the card list and the queue.
    void fillLists();

    std::unique_ptr<WindowFixture> fx_;
};

void TestDesktopWindow::runPass() {
    QVERIFY(fx_->startNginx("2m"));
    QVERIFY(fx_->serveFile(QStringLiteral("a.mp3"), someBytes(200'000)));
    QVERIFY(fx_->serveFile(QStringLiteral("b.desktop"), someBytes(3'000)));
    TForm1& form = fx_->createWindow();
    QVERIFY(fx_->showWindow());
    fx_->queue({fileRow(QStringLiteral("1"), QStringLiteral("月下听风"),
                        fx_->nginxUrl(QStringLiteral("a.mp3")), QStringLiteral("195K"),
                        QStringLiteral("mp3")),
                fileRow(QStringLiteral("2"), QStringLiteral("快捷"),
                        fx_->nginxUrl(QStringLiteral("b.desktop")), QStringLiteral("3K"),
                        QStringLiteral("desktop")),
                fileRow(QStringLiteral("3"), QStringLiteral("丢失"),
                        fx_->nginxUrl(QStringLiteral("gone.mp3")), QStringLiteral("1M"),
                        QStringLiteral("mp3"))});
    QTest::mouseClick(inside(form).downloads.downbtn, Qt::LeftButton);
    QVERIFY2(fx_->stepUntil([&] { return !fx_->ui().notifications.isEmpty(); }, 30'000),
             qPrintable(inside(form).DownloadLog.join(u'\n')));
}

void TestDesktopWindow::openWhatWasDownloaded() {
    runPass();
    if (QTest::currentTestFailed()) return;
    TForm1& form = fx_->form();
    const auto w = inside(form);
    auto& ui = fx_->ui();
    const QString song = w.SaveFolder + QStringLiteral("月下听风.mp3");
    const QString launcher = w.SaveFolder + QStringLiteral("快捷.desktop");

    // The finished song: both entries; each goes to the desktop with the file written.
    for (const QString& choice : {kOpen, kOpenFolder}) {
        ui.menuChoice = choice;
        rightClick(w.downloads.downloadlistview, 0);
        QCOMPARE(ui.menus.last().entries, kQueueMenu);
    }
    QCOMPARE(ui.openedFiles, QStringList{song});
    QCOMPARE(ui.shownInFolder, QStringList{song});
    // A finished file whose type is no song is only shown in its folder; a failed row offers
    // neither.
    rightClick(w.downloads.downloadlistview, 1);
    QVERIFY(ui.menus.last().enabled.contains(kOpenFolder));
    QVERIFY(!ui.menus.last().enabled.contains(kOpen));
    rightClick(w.downloads.downloadlistview, 2);
    QVERIFY(!ui.menus.last().enabled.contains(kOpenFolder));
    QVERIFY(!ui.menus.last().enabled.contains(kOpen));

    // The progress list offers the same for its finished rows, and a double-click opens.
    ui.menuChoice = kOpen;
    rightClick(w.downloads.downloadnow, 0);
    QCOMPARE(ui.menus.last().entries, (QStringList{kOpen, kOpenFolder}));
    doubleClick(w.downloads.downloadnow, 0);
    QCOMPARE(ui.openedFiles, (QStringList{song, song, song}));
    doubleClick(w.downloads.downloadnow, 1);
    QCOMPARE(ui.openedFiles.size(), 3);
    QVERIFY(fx_->logLines().contains(QStringLiteral("不是音乐文件，没有打开：") + launcher));

    // Something else put in the file's place is not the file Melorin wrote.
    QVERIFY(QFile::remove(song));
    QVERIFY(QFile::link(launcher, song));
    ui.menuChoice = kOpen;
    rightClick(w.downloads.downloadlistview, 0);
    QCOMPARE(ui.openedFiles.size(), 3);
    QVERIFY(fx_->logLines().contains(QStringLiteral("找不到文件：") + song));
}

void TestDesktopWindow::passEndIsAnnounced() {
    runPass();
    if (QTest::currentTestFailed()) return;
    TForm1& form = fx_->form();
    const auto w = inside(form);
    auto& ui = fx_->ui();
    fx_->turn(5);
    QCOMPARE(ui.notifications.size(), 1);  // once a pass
    QCOMPARE(ui.notifications[0].summary, QStringLiteral("下载结束"));
    QCOMPARE(ui.notifications[0].body, QStringLiteral("2 个文件下载完毕，1 个下载失败"));
    QCOMPARE(w.status.passStatus->text(), QStringLiteral("2/3 个文件 66%"));
    // A panel of its own, whole, between the download panels and the search line.
    QVERIFY(w.status.passStatus->isVisible());
    QVERIFY(w.status.passStatus->width() >= w.status.passStatus->sizeHint().width());
    QVERIFY(w.status.passStatus->x() > w.status.statusPanels.last()->geometry().right());
    QVERIFY(w.status.searchStatus->x() > w.status.passStatus->geometry().right());
    // The task bar's bar grew while the pass ran and is hidden at its end.
    QVERIFY(ui.taskProgress.size() >= 2);
    QCOMPARE(ui.taskProgress.last(), std::nullopt);
    QCOMPARE(ui.taskProgress.count(std::nullopt), 1);
    double before = 0;
    for (qsizetype i = 0; i + 1 < ui.taskProgress.size(); ++i) {
        QVERIFY(ui.taskProgress[i].has_value());
        QVERIFY(*ui.taskProgress[i] >= before && *ui.taskProgress[i] <= 1.0);
        before = *ui.taskProgress[i];
    }
    // A click on the notification brings the rolled-up window back with the downloads.
    QTest::mouseClick(w.functions.Button3, Qt::LeftButton);
    for (QAction* action : form.systemMenu()->actions())
        if (action->text() == QStringLiteral("收缩")) action->trigger();
    QVERIFY(form.isRolledUp());
    ui.notifications[0].activate();
    QVERIFY(!form.isRolledUp());
    QVERIFY(w.downloads.Iesetpanel->isVisible());
    // Every row has been tried: another press starts no pass and announces nothing.
    QTest::mouseClick(w.downloads.downbtn, Qt::LeftButton);
    fx_->turn(5);
    QCOMPARE(ui.notifications.size(), 1);
}

void TestDesktopWindow::fillLists() {
    TForm1& form = fx_->form();
    const auto w = inside(form);
    fx_->offer({fileRow(QStringLiteral("1"), QStringLiteral("甲"), QStringLiteral("http://h/1.mp3"),
                        QStringLiteral("3.5M"), QStringLiteral("mp3")),
                fileRow(QStringLiteral("2"), QStringLiteral("乙"), QStringLiteral("http://h/2.mp3"),
                        QStringLiteral("512K"), QStringLiteral("mp3")),
                fileRow(QStringLiteral("3"), QStringLiteral("丙"), QStringLiteral("http://h/3.mp3"),
                        QStringLiteral("1M"), QStringLiteral("mp3"))},
               {0, 1, 2});
    QTest::mouseClick(w.play.dragplaybtn, Qt::LeftButton);  // the play list and the card list
    QTest::mouseClick(w.play.dragdownbtn, Qt::LeftButton);
    w.results.ListView1->clearSelection();
    QTest::mouseClick(w.functions.Button3, Qt::LeftButton);
}

void TestDesktopWindow::listMenus_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("choice");
    QTest::newRow("result list") << "ListView1"
                                 << QStringList{QStringLiteral("播"), QStringLiteral("下"),
                                                QStringLiteral("卡"), QStringLiteral("在线播放")}
                                 << QStringLiteral("下");
    QTest::newRow("play list") << "playListView"
                               << QStringList{QStringLiteral("删"), QStringLiteral("清"),
                                              QStringLiteral("存"), QStringLiteral("装")}
                               << QStringLiteral("删");
    QTest::newRow("card list") << "cardlistview"
                               << QStringList{QStringLiteral("清空列表"), QStringLiteral("预览")}
                               << QStringLiteral("清空列表");
    QTest::newRow("queue") << "downloadlistview" << kQueueMenu << QStringLiteral("删除所选项");
    QTest::newRow("progress list") << "downloadnow" << QStringList{kOpen, kOpenFolder} << QString();
}

void TestDesktopWindow::listMenus() {
    QFETCH(QString, list);
    QFETCH(QStringList, entries);
    QFETCH(QString, choice);
    TForm1& form = fx_->createWindow();
    const auto w = inside(form);
    QVERIFY(fx_->showWindow());
    fillLists();
    auto* view = form.findChild<ReportView*>(list);
    QVERIFY(view);
    if (view->parentWidget() == w.downloads.Iesetpanel)
        QTest::mouseClick(w.functions.Button4, Qt::LeftButton);
    if (view == w.card.cardlistview) QTest::mouseClick(w.functions.Button5, Qt::LeftButton);
    QVERIFY(view->isVisible());
    const int row = view->rowCount() > 1 ? 1 : -1;
    fx_->ui().menuChoice = choice;
    rightClick(view, row);
    QCOMPARE(fx_->ui().menus.size(), 1);
    QCOMPARE(fx_->ui().menus[0].entries, entries);

    // The entry did what its button does, to the row clicked.
    if (view == w.results.ListView1) {
        QCOMPARE(w.queueRows().size(), 4);
        QCOMPARE(w.queueRows().text(3, 1), QStringLiteral("乙"));
    } else if (view == w.play.playListView) {
        QCOMPARE(w.playRows().text(1, 1), QStringLiteral("丙"));
    } else if (view == w.card.cardlistview) {
        QCOMPARE(w.cardList.size(), std::size_t(0));
    } else if (view == w.downloads.downloadlistview) {
        QCOMPARE(w.queueRows().size(), 2);
        QCOMPARE(w.queueRows().text(1, 1), QStringLiteral("丙"));
    } else {
        QVERIFY(fx_->ui().menus[0].enabled.isEmpty());  // nothing finished yet
    }
}

void TestDesktopWindow::resultListSortsByHeader() {
    QVERIFY2(fx_->startService(), qPrintable(fx_->serviceError()));
    TForm1& form = fx_->createWindow();
    const auto w = inside(form);
    QVERIFY(fx_->showWindow());
    fx_->offer({fileRow(QStringLiteral("1"), QStringLiteral("b"), QStringLiteral("http://h/1.wma"),
                        QStringLiteral("3.5M"), QStringLiteral("wma")),
                fileRow(QStringLiteral("2"), QStringLiteral("a"), QStringLiteral("http://h/2.mp3"),
                        QStringLiteral("512K"), QStringLiteral("mp3")),
                fileRow(QStringLiteral("3"), QStringLiteral("d"), QStringLiteral("http://h/3.rm"),
                        QString(), QStringLiteral("rm")),
                fileRow(QStringLiteral("4"), QStringLiteral("c"), QStringLiteral("http://h/4.mp3"),
                        QStringLiteral("12.M"), QStringLiteral("mp3"))},
               {});
    ReportView* list = w.results.ListView1;
    // Sizes by their bytes, rows without one last in both directions; captions stay.
    clickHeader(list, 3);
    QCOMPARE(shownCaptions(list), QStringLiteral("2 1 4 3"));
    clickHeader(list, 3);
    QCOMPARE(shownCaptions(list), QStringLiteral("4 1 2 3"));
    QCOMPARE(list->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    clickHeader(list, 1);
    QCOMPARE(shownCaptions(list), QStringLiteral("2 1 4 3"));
    clickHeader(list, 2);  // the address column sorts nothing
    QCOMPARE(shownCaptions(list), QStringLiteral("2 1 4 3"));
    QCOMPARE(list->header()->sortIndicatorSection(), 1);
    clickHeader(list, 4);
    QCOMPARE(shownCaptions(list), QStringLiteral("2 4 3 1"));

    // The buttons act on the rows the user sees selected: here the second row shown.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(1, 0)).center());
    QTest::mouseClick(w.play.dragdownbtn, Qt::LeftButton);
    QCOMPARE(w.queueRows().size(), 1);
    QCOMPARE(w.queueRows().text(0, 1), QStringLiteral("c"));

    // A new search starts unsorted: its rows come in the service's order.
    QTest::mouseClick(w.functions.Button3, Qt::LeftButton);
    fx_->search(QStringLiteral("月下听风"), 0);
    QTRY_VERIFY_WITH_TIMEOUT(list->rowCount() >= 3, 30'000);
    const QStringList shown = shownCaptions(list).split(u' ');
    for (int r = 0; r < shown.size(); ++r) QCOMPARE(shown[r], QString::number(r + 1));
    QVERIFY(!list->header()->isSortIndicatorShown());
}

void TestDesktopWindow::listKeys() {
    QVERIFY(fx_->startNginx("64k"));
    QVERIFY(fx_->serveFile(QStringLiteral("slow/long.mp3"), someBytes(2'000'000)));
    TForm1& form = fx_->createWindow();
    const auto w = inside(form);
    QVERIFY(fx_->showWindow());
    fillLists();
    QCOMPARE(w.results.ListView1->selectionMode(), QAbstractItemView::ExtendedSelection);
    const auto pressIn = [](ReportView* list, int row, Qt::Key key, Qt::KeyboardModifiers mods) {
        click(list, row);
        QTest::keyClick(QApplication::focusWidget(), key, mods);
    };
    // Ctrl+A, then Delete: every row of the play list goes, and of the card list.
    pressIn(w.play.playListView, 0, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w.play.playListView->selectedRowIndexes().size(), 3);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    QVERIFY(w.PlayList.empty());
    pressIn(w.results.ListView1, 0, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w.results.ListView1->selectedRowIndexes(), (QList<int>{0, 1, 2}));
    // A chart entry selected starts its search; all of them selected at once start none.
    const std::vector<SongRow> files = w.resultRows().rows();
    fx_->offer({files[0], melorin::core::listEntry("2", "歌手", "m?word=x"), files[2]}, {});
    pressIn(w.results.ListView1, 0, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w.results.ListView1->selectedRowIndexes().size(), 3);
    QVERIFY(w.bar.Edit1->text().isEmpty());
    QTest::mouseClick(w.functions.Button5, Qt::LeftButton);
    pressIn(w.card.cardlistview, 1, Qt::Key_Delete, Qt::NoModifier);
    QCOMPARE(w.cardRows().size(), 2);
    QCOMPARE(w.cardRows().text(1, 1), QStringLiteral("丙"));

    // The queue: Delete removes, but not while a file runs (its rows are known by index).
    QTest::mouseClick(w.functions.Button4, Qt::LeftButton);
    pressIn(w.downloads.downloadlistview, 0, Qt::Key_Delete, Qt::NoModifier);
    QCOMPARE(w.queueRows().size(), 2);
    QCOMPARE(w.queueRows().text(0, 1), QStringLiteral("乙"));
    QTest::mouseClick(w.downloads.delallbtn, Qt::LeftButton);
    fx_->queue({fileRow(QStringLiteral("9"), QStringLiteral("慢歌"),
                        fx_->nginxUrl(QStringLiteral("slow/long.mp3")), QStringLiteral("2M"),
                        QStringLiteral("mp3"))});
    QTest::mouseClick(w.downloads.downbtn, Qt::LeftButton);
    QVERIFY(fx_->stepUntil(
        [&] { return w.downloader().rowState(0) == melorin::download::RowState::Running; },
        30'000));
    pressIn(w.downloads.downloadlistview, 0, Qt::Key_Delete, Qt::NoModifier);
    QCOMPARE(w.queueRows().size(), 1);
    QVERIFY(w.downloads.delbtn->isEnabled());  // the key is no press of the button
    QVERIFY(fx_->logLines().contains(QStringLiteral("正在下载，下载列表中的项暂时不能删除")));
}

void TestDesktopWindow::accessibleNames() {
    TForm1& form = fx_->createWindow();
    const auto w = inside(form);
    QVERIFY(fx_->showWindow());
    // The frame's buttons are pictures: they are named by what they do.
    const std::pair<const char*, QString> frame[] = {
        {"SkinSysMenuButton", QStringLiteral("系统菜单")},
        {"SkinTrayButton", QStringLiteral("缩为图标")},
        {"SkinMinimizeButton", QStringLiteral("最小化")},
        {"SkinCloseButton", QStringLiteral("关闭")}};
    for (const auto& [name, caption] : frame)
        QCOMPARE(accessibleName(form.findChild<QToolButton*>(QString::fromLatin1(name))), caption);
    QCOMPARE(accessibleName(w.play.dragplaybtn), QStringLiteral("播"));

    // The view buttons are buttons, named by their captions; "checked" tells the view up.
    for (QPushButton* b : {w.functions.Button3, w.functions.Button4, w.functions.Button5}) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::Button);
        QCOMPARE(a->text(QAccessible::Name), b->text());
        QCOMPARE(bool(a->state().checked), b == w.functions.Button3);
    }
    // Automation presses them as a user would.
    QAccessibleInterface* download = QAccessible::queryAccessibleInterface(w.functions.Button4);
    QVERIFY(download->actionInterface());
    download->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QVERIFY(w.downloads.Iesetpanel->isVisible());
    QVERIFY(download->state().checked);
    QVERIFY(!QAccessible::queryAccessibleInterface(w.functions.Button3)->state().checked);
}

MELORIN_GUI_TEST_MAIN(TestDesktopWindow)
#include "test_desktop_window.moc"
