// Start-up, views, window menus and screen fitting of the real main window, offscreen.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QWebEngineView>

#include "app/failurehook.h"
#include "app/mainwindow.h"
#include "app/selectdir.h"
#include "app/songrowmodel.h"
#include "app/startup.h"
#include "app/webbrowser.h"
#include "tests/app/guitestmain.h"
#include "tests/app/windowfixture.h"
#include "tests/app/windowinside.h"
#include "ui/dropdown.h"
#include "ui/reportview.h"
#include "ui/uiport.h"

using melorin::TForm1;
using melorin::testing::RecordingUi;
using melorin::testing::WindowFixture;

namespace {
QAction* menuAction(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions()) {
        if (a->text() == text) return a;
    }
    return nullptr;
}
// Where the style draws a button's caption: inside the skin's border and padding.
QRect textArea(QWidget* w) {
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        QStyleOptionButton o;
        o.initFrom(b);
        o.text = b->text();
        return b->style()->subElementRect(QStyle::SE_PushButtonContents, &o, b);
    }
    auto* t = qobject_cast<QToolButton*>(w);
    QStyleOptionToolButton o;
    o.initFrom(t);
    o.text = t->text();
    o.subControls = QStyle::SC_ToolButton;
    return t->style()->subControlRect(QStyle::CC_ToolButton, &o, QStyle::SC_ToolButton, t);
}
}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void startUpPreparesStateAndFolders();
    void startUpKeepsExistingMusicFolder();
    void startUpGoesOnWhenMusicCannotBeCreated();
    void unwritableProgramFolderFallsBack();
    void startViewAndFocus();
    void enterSearchesFromTheSearchBarAndTheList_data();
    void enterSearchesFromTheSearchBarAndTheList();
    void viewButtonsSwitchPanels();
    void windowMenus();
    void fitScalesControlsOnWideScreen();
    void fitKeepsDesignSizeAt1024();
    void fitShowsEveryCaptionWhole_data();
    void fitShowsEveryCaptionWhole();
    void fitScalesWhatTheWindowOpens_data();
    void fitScalesWhatTheWindowOpens();
    void failureHookWritesIntoDownloadLog();
    void closeRunsCloseStepsWithoutAskingWhenIdle();
    void closingTheChooserWithTheWindowInTheTrayDoesNotQuit();
    void taskBarTitleIsTheCaption();
    void doubleClickOpensOnlyWebAddresses_data();
    void doubleClickOpensOnlyWebAddresses();
    void boxesAsTheConventionsGive();
};

void TestMainWindow::startUpPreparesStateAndFolders() {
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    RecordingUi& ui = fx.ui();
    const QString pd = fx.programDir() + u'/';
    QCOMPARE(w.ProgramDir, pd);
    QCOMPARE(w.SaveFolder, pd + QStringLiteral("music/"));
    QVERIFY(QDir(pd + QStringLiteral("music")).exists());
    QCOMPARE(w.CardPicture, pd + QStringLiteral("pic/0103.jpg"));
    QCOMPARE(w.OpenDialog1InitialDir, pd + QStringLiteral("pic/"));
    QVERIFY(!QDir(pd + QStringLiteral("pic")).exists());  // named, not created
    QCOMPARE(w.searchSession.state.searchPage, 2);
    QCOMPARE(w.searchSession.state.searchRowCount, 0);
    QCOMPARE(w.searchSession.state.searchStopped, false);
    QVERIFY(w.searchSession.state.localIp.empty());
    QVERIFY(!w.searchSession.countShown && !w.searchSession.ipShown);
    QCOMPARE(w.retargetRows, false);
    QCOMPARE(w.downloader().probeRow(), 0);
    QCOMPARE(w.downloader().snapshot().runningWorkers, 0);
    QVERIFY(!w.downloader().busy());
    QCOMPARE(w.ImageList1.size(), 6);  // MP3 to FLASH
    for (const QIcon& icon : w.ImageList1) QVERIFY(!icon.isNull());
    QCOMPARE(form.windowTitle(), QStringLiteral("Melorin"));
    QVERIFY(!w.Timer1().isActive());
    QVERIFY(ui.messages.isEmpty());
}

void TestMainWindow::startUpKeepsExistingMusicFolder() {
    WindowFixture fx;
    QVERIFY(QDir(fx.programDir()).mkdir(QStringLiteral("music")));
    QFile keep(fx.programDir() + QStringLiteral("/music/old.mp3"));
    QVERIFY(keep.open(QIODevice::WriteOnly));
    keep.write("song");
    keep.close();
    fx.createWindow();
    QVERIFY(QFile::exists(fx.programDir() + QStringLiteral("/music/old.mp3")));
    QCOMPARE(QFile(fx.programDir() + QStringLiteral("/music/old.mp3")).size(), 4);
}

void TestMainWindow::startUpGoesOnWhenMusicCannotBeCreated() {
    WindowFixture fx;
    // A plain file where the folder should be: it can be neither used nor created.
    QFile blocker(fx.programDir() + QStringLiteral("/music"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    QCOMPARE(w.SaveFolder, fx.programDir() + QStringLiteral("/music/"));
    QCOMPARE(w.ImageList1.size(), 6);  // the rest of start-up ran
    QVERIFY(w.results.ListView1->isVisibleTo(&form));
}

void TestMainWindow::unwritableProgramFolderFallsBack() {
    QTemporaryDir dir;
    QString note;
    QCOMPARE(melorin::resolveProgramDir(dir.path(), &note), dir.path() + u'/');
    QVERIFY(note.isEmpty());
    // Nobody, root included, creates files in /proc.
    const QString fallback = melorin::resolveProgramDir(QStringLiteral("/proc/self"), &note);
    QCOMPARE(fallback, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + u'/');
    QVERIFY(QDir(fallback).exists());
    QVERIFY(note.contains(QStringLiteral("/proc/self/")));
    QVERIFY(note.contains(fallback));
}

void TestMainWindow::startViewAndFocus() {
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    QVERIFY(fx.showWindow());
    QVERIFY(w.results.ListView1->isVisible());
    QVERIFY(w.play.SeSkinPanel1->isVisible());
    QVERIFY(!w.downloads.Iesetpanel->isVisible());
    QVERIFY(!w.card.setpanel->isVisible());
    QVERIFY(!w.play.WebBrowser3->isVisible());
    QCOMPARE(form.focusWidget(), w.bar.Edit1);
    QCOMPARE(w.results.ListView1->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(w.bar.Button1->isDefault());
    const QList<QWidget*> hiddenControls{
        w.results.Memo1,   w.functions.Edit2, w.functions.threedit, w.results.Button7,
        w.results.Button9, w.play.playnowbtn, w.card.cardsurebtn,   w.play.SeSkinLabel4};
    for (QWidget* hidden : hiddenControls) {
        QVERIFY2(!hidden->isVisible(), qPrintable(hidden->objectName()));
    }
    QCOMPARE(w.functions.Edit2->text(), QStringLiteral("5"));
    QCOMPARE(w.functions.threedit->text(), QStringLiteral("15"));
}

void TestMainWindow::enterSearchesFromTheSearchBarAndTheList_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("searches");
    QTest::newRow("search box") << QStringLiteral("Edit1") << int(Qt::Key_Return) << 1;
    QTest::newRow("search box, keypad Enter") << QStringLiteral("Edit1") << int(Qt::Key_Enter) << 1;
    QTest::newRow("result list") << QStringLiteral("ListView1") << int(Qt::Key_Return) << 1;
    QTest::newRow("type box") << QStringLiteral("SeSkinComboBox1") << int(Qt::Key_Return) << 1;
    QTest::newRow("a button") << QStringLiteral("SeSkinButton1") << int(Qt::Key_Return) << 1;
    // A search would replace the result list under the user's card.
    QTest::newRow("card title does not search")
        << QStringLiteral("nameedit") << int(Qt::Key_Return) << 0;
    QTest::newRow("play list does not search")
        << QStringLiteral("playListView") << int(Qt::Key_Return) << 0;
    QTest::newRow("card text takes its own Enter")
        << QStringLiteral("iememo") << int(Qt::Key_Return) << 0;
}

void TestMainWindow::enterSearchesFromTheSearchBarAndTheList() {
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(int, searches);
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    QVERIFY(fx.showWindow());
    if (control == QStringLiteral("nameedit") || control == QStringLiteral("iememo"))
        inside(form).functions.Button5->click();
    auto* w = form.findChild<QWidget*>(control);
    QVERIFY(w != nullptr);
    form.activateWindow();
    w->setFocus();
    QSignalSpy pressed(inside(form).bar.Button1, &QPushButton::clicked);
    QTest::keyClick(w, static_cast<Qt::Key>(key));
    QCOMPARE(pressed.count(), searches);
}

void TestMainWindow::viewButtonsSwitchPanels() {
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    QVERIFY(fx.showWindow());
    struct View {
        QPushButton* button;
        bool list, play, download, card;
    };
    const View views[] = {{w.functions.Button4, false, false, true, false},
                          {w.functions.Button5, false, false, false, true},
                          {w.functions.Button3, true, true, false, false},
                          {w.functions.Button4, false, false, true, false},
                          {w.functions.Button3, true, true, false, false}};
    for (const View& v : views) {
        QTest::mouseClick(v.button, Qt::LeftButton);
        QCOMPARE(w.results.ListView1->isVisible(), v.list);
        QCOMPARE(w.play.SeSkinPanel1->isVisible(), v.play);
        QCOMPARE(w.downloads.Iesetpanel->isVisible(), v.download);
        QCOMPARE(w.card.setpanel->isVisible(), v.card);
        for (QPushButton* b : {w.functions.Button3, w.functions.Button4, w.functions.Button5})
            QCOMPARE(b->isChecked(), b == v.button);
    }
    // The engine box offers the default engine and two catalogues; changing views left the
    // engine, the search box and its kind alone.
    QCOMPARE(w.bar.SeSkinComboBox2->count(), 3);
    QCOMPARE(w.bar.SeSkinComboBox2->currentIndex(), 0);
    QCOMPARE(w.bar.SeSkinComboBox1->currentText(), QStringLiteral("MP3"));
}

void TestMainWindow::windowMenus() {
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    QVERIFY(fx.showWindow());
    QStringList items;
    for (QAction* a : form.systemMenu()->actions()) items << a->text();
    QCOMPARE(items, (QStringList{QStringLiteral("还原"), QStringLiteral("最小化"),
                                 QStringLiteral("收缩"), QStringLiteral("缩为图标")}));
    QCOMPARE(form.trayMenu()->actions().size(), 1);
    QCOMPARE(form.trayMenu()->actions().first()->text(), QStringLiteral("还原"));

    const int fullHeight = form.height();
    menuAction(form.systemMenu(), QStringLiteral("收缩"))->trigger();
    QVERIFY(form.isRolledUp());
    QTRY_VERIFY(form.height() < 40);
    QVERIFY(!form.clientArea()->isVisible());
    menuAction(form.systemMenu(), QStringLiteral("还原"))->trigger();
    QVERIFY(!form.isRolledUp());
    QTRY_COMPARE(form.height(), fullHeight);
    QVERIFY(form.clientArea()->isVisible());

    menuAction(form.systemMenu(), QStringLiteral("最小化"))->trigger();
    QTRY_VERIFY(form.isMinimized());
    menuAction(form.systemMenu(), QStringLiteral("还原"))->trigger();
    QTRY_VERIFY(!form.isMinimized());
    QVERIFY(form.isVisible());

    // Offscreen there is no system tray: the tray command minimises instead.
    menuAction(form.systemMenu(), QStringLiteral("缩为图标"))->trigger();
    QVERIFY(!form.isInTray());
    QTRY_VERIFY(form.isMinimized());
    form.trayMenu()->actions().first()->trigger();
    QTRY_VERIFY(!form.isMinimized());
    QVERIFY(form.isVisible());
}

void TestMainWindow::fitScalesControlsOnWideScreen() {
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    const int fontBefore = w.results.ListView1->font().pointSize();
    form.fitToScreen(QRect(0, 0, 1280, 1024));
    QCOMPARE(w.functions.Panel2->width(), 151);
    QCOMPARE(w.results.ListView1->geometry(), QRect(151, 91, 721, 400));
    QCOMPARE(w.play.SeSkinPanel1->height(), 251);
    QCOMPARE(w.play.playListView->geometry(), QRect(10, 70, 701, 171));
    QCOMPARE(w.functions.Button3->size(), QSize(93, 75));
    QCOMPARE(w.bar.SeSkinProgressBar6->width(), 290);
    // The height is the scaled client and caption bar in the frame: no empty band.
    QCOMPARE(form.size(), QSize(151 + 721 + 10, 755 + 30 + 6));
    QVERIFY(w.results.ListView1->font().pointSizeF() > fontBefore);
    // The aligned regions follow the new client size.
    QCOMPARE(w.bar.Panel1->width(), form.clientArea()->width());
    QCOMPARE(w.status.SeSkinStatusBar1->geometry().bottom(), form.clientArea()->height() - 1);
}

void TestMainWindow::fitKeepsDesignSizeAt1024() {
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    const QSize before = form.size();
    form.fitToScreen(QRect(0, 0, 1024, 768));
    QCOMPARE(form.size(), before);
    QCOMPARE(form.clientArea()->size(), QSize(696, 604));
    QCOMPARE(w.results.ListView1->geometry(), QRect(121, 73, 577, 320));
    QCOMPARE(w.play.SeSkinPanel1->geometry(), QRect(121, 384, 575, 201));
    QCOMPARE(w.status.SeSkinStatusBar1->geometry(), QRect(0, 582, 696, 22));
    QCOMPARE(w.functions.Panel2->geometry(), QRect(0, 73, 121, 509));
    QCOMPARE(w.downloads.Iesetpanel->geometry(), QRect(121, 73, 575, 509));
}

void TestMainWindow::fitShowsEveryCaptionWhole_data() {
    QTest::addColumn<QRect>("available");
    QTest::newRow("1024x768") << QRect(0, 0, 1024, 768);
    QTest::newRow("1280x1024") << QRect(0, 0, 1280, 1024);
    QTest::newRow("1366x768 with a panel") << QRect(0, 28, 1366, 740);
    QTest::newRow("1920x1080") << QRect(0, 0, 1920, 1080);
    QTest::newRow("1920x1080 with a side dock") << QRect(64, 0, 1856, 1080);
    QTest::newRow("2560x1440") << QRect(0, 0, 2560, 1440);
}

void TestMainWindow::fitShowsEveryCaptionWhole() {
    QFETCH(QRect, available);
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const double designPoints = inside(form).functions.Button3->font().pointSizeF();
    form.fitToScreen(available);
    QVERIFY(form.width() <= available.width());
    QVERIFY(form.height() <= available.height());
    QVERIFY(fx.showWindow());
    const double scale = std::min(available.width() / 1024.0, available.height() / 768.0);
    const double expected = designPoints * std::max(scale, 1.0);
    for (QPushButton* view : {inside(form).functions.Button4, inside(form).functions.Button5,
                              inside(form).functions.Button3}) {
        view->click();
        for (QWidget* w : form.clientArea()->findChildren<QWidget*>()) {
            if (!w->isVisible()) continue;
            QString text;
            if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
            if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
            if (text.isEmpty()) continue;
            const QString name = w->objectName() + u' ' + text;
            // Every text grows with its control, the skin's bold ones too.
            QVERIFY2(qAbs(w->font().pointSizeF() - expected) < 0.5, qPrintable(name));
            // Whole: a label needs its text's size, a button its caption's width.
            const QSize need = qobject_cast<QLabel*>(w)
                                   ? w->sizeHint()
                                   : QSize(w->fontMetrics().horizontalAdvance(text), 0);
            // The last pixel of a two-line label's line spacing may meet the tool bar's edge.
            const QSize room =
                qobject_cast<QLabel*>(w) ? w->size() + QSize(0, 1) : textArea(w).size();
            QVERIFY2(need.width() <= room.width() && need.height() <= room.height(),
                     qPrintable(QStringLiteral("%1: needs %2x%3, has %4x%5")
                                    .arg(name)
                                    .arg(need.width())
                                    .arg(need.height())
                                    .arg(room.width())
                                    .arg(room.height())));
        }
        // Drop-down lists show their first entries whole (the card's colour and face too).
        for (auto* box : form.clientArea()->findChildren<melorin::ui::DropDown*>()) {
            if (box->isVisible()) QCOMPARE(box->shownText(), box->currentText());
        }
        for (auto* list : form.clientArea()->findChildren<melorin::ui::ReportView*>()) {
            if (!list->isVisible()) continue;
            for (int c = 0; c < list->columnCount(); ++c) {
                QVERIFY2(list->header()->sectionSize(c) >= list->header()->sectionSizeHint(c),
                         qPrintable(list->objectName() + u' ' + list->columnCaption(c)));
            }
        }
    }
}

void TestMainWindow::fitScalesWhatTheWindowOpens_data() {
    QTest::addColumn<QRect>("available");
    QTest::newRow("1366x768") << QRect(0, 0, 1366, 768);
    QTest::newRow("1920x1080") << QRect(0, 0, 1920, 1080);
    QTest::newRow("2560x1440") << QRect(0, 0, 2560, 1440);
}

void TestMainWindow::fitScalesWhatTheWindowOpens() {
    QFETCH(QRect, available);
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    melorin::TForm2 chooser(form);
    const double designPoints = QApplication::font().pointSizeF();
    const int buttonHeight = chooser.pathbtn->height();
    form.fitToScreen(available);
    QVERIFY(fx.showWindow());
    const double scale =
        std::max(1.0, std::min(available.width() / 1024.0, available.height() / 768.0));
    // Message boxes, tool tips and the pages' player grow with the window.
    const auto box = melorin::ui::makeMessageBox(&form, melorin::ui::BoxKind::Plain,
                                                 QStringLiteral("请检查网络连接!"));
    QVERIFY(qAbs(box->font().pointSizeF() - designPoints * scale) < 0.5);
    QVERIFY(qAbs(QToolTip::font().pointSizeF() - designPoints * scale) < 0.5);
    // The save-folder chooser too.
    QVERIFY(qAbs(chooser.pathbtn->font().pointSizeF() - designPoints * scale) < 0.5);
    QCOMPARE(chooser.pathbtn->height(), static_cast<int>(buttonHeight * scale));
    QCOMPARE(w.play.WebBrowser3->zoomFactor(), scale);
    QCOMPARE(w.card.WebBrowser4->zoomFactor(), scale);
    // The status bar meets the play panel: no empty band above it.
    QVERIFY(w.play.SeSkinPanel1->geometry().bottom() >= w.status.SeSkinStatusBar1->y() - 1);
    // Nothing covers the result list's last row and scroll bar.
    const QRect list = w.results.ListView1->geometry();
    QVERIFY(w.results.ListView1->isAncestorOf(
        form.clientArea()->childAt(list.left() + 4, list.bottom() - 2)));
    // The panels, then the search's status line up to the bar's right edge: no empty half.
    QCOMPARE(w.status.searchStatus->geometry().right(), w.status.SeSkinStatusBar1->width() - 1);
    QVERIFY(w.status.searchStatus->x() > w.status.statusPanels.last()->geometry().right());
}

void TestMainWindow::failureHookWritesIntoDownloadLog() {
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    melorin::reportFailure(QStringLiteral("disk full while writing"));
    QVERIFY(
        inside(form).DownloadLog.join(u'\n').contains(QStringLiteral("disk full while writing")));
}

void TestMainWindow::closeRunsCloseStepsWithoutAskingWhenIdle() {
    // The question while files download is covered over loopback in test_downloadrun.
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    RecordingUi& ui = fx.ui();
    QVERIFY(fx.showWindow());
    QSignalSpy closed(&form, &TForm1::closed);
    inside(form).Timer1().start();
    QVERIFY(form.close());
    QVERIFY(ui.questions.isEmpty());
    QCOMPARE(closed.count(), 1);
    QCOMPARE(closed.first().first().toInt(), 0);
    QVERIFY(!inside(form).Timer1().isActive());
}

void TestMainWindow::closingTheChooserWithTheWindowInTheTrayDoesNotQuit() {
    melorin::configureApplication(*qApp);
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    melorin::TForm2 chooser(form);
    QVERIFY(fx.showWindow());
    inside(form).bar.SeSkinButton1->click();
    QVERIFY(chooser.isVisible());
    form.hide();  // what the tray does; offscreen has no tray
    QSignalSpy closed(&form, &TForm1::closed);
    // Qt would quit the event loop (exit code 0) once the last visible window has closed.
    QTimer::singleShot(0, &chooser, [&chooser] { chooser.close(); });
    QTimer::singleShot(300, qApp, [] { QCoreApplication::exit(42); });
    QCOMPARE(QCoreApplication::exec(), 42);
    QVERIFY(!chooser.isVisible());
    QCOMPARE(closed.count(), 0);
}

void TestMainWindow::taskBarTitleIsTheCaption() {
    melorin::configureApplication(*qApp);
    // The platform appends the application's display name to every window title unless none
    // is set; without one, the display name is only a copy of the application name.
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("probe"));
    const QString shown = QGuiApplication::applicationDisplayName();
    QCoreApplication::setApplicationName(name);
    QCOMPARE(shown, QStringLiteral("probe"));
    QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("Melorin"));
}

void TestMainWindow::doubleClickOpensOnlyWebAddresses_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("opened");
    QTest::newRow("http") << QStringLiteral("http://127.0.0.1:9/s01/1.mp3") << true;
    QTest::newRow("https") << QStringLiteral("https://example.com/a.mp3") << true;
    QTest::newRow("local program") << QStringLiteral("/usr/bin/xterm") << false;
    QTest::newRow("file") << QStringLiteral("file:///home/a/.bashrc") << false;
    QTest::newRow("smb") << QStringLiteral("smb://host/share/a.mp3") << false;
    QTest::newRow("desktop file") << QStringLiteral("/tmp/run.desktop") << false;
}

void TestMainWindow::doubleClickOpensOnlyWebAddresses() {
    QFETCH(QString, address);
    QFETCH(bool, opened);
    WindowFixture fx;
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    RecordingUi& ui = fx.ui();
    QVERIFY(fx.showWindow());
    w.resultRows().setRows(
        {{melorin::core::RowShape::File, "1", 0, "歌", address.toStdString(), "1 M", "mp3"}});
    w.results.ListView1->selectRow(0);
    QTest::mouseDClick(w.results.ListView1->viewport(), Qt::LeftButton, {},
                       w.results.ListView1->rowRect(0).center());
    QCOMPARE(ui.openedAddresses, opened ? QStringList{address} : QStringList{});
    const QString log = w.DownloadLog.join(u'\n');
    if (opened) {
        QVERIFY(log.isEmpty());
    } else {
        // One line, naming the address and why it stayed closed.
        QCOMPARE(log.count(u'\n'), 0);
        QVERIFY(log.contains(address));
        QVERIFY(log.contains(QStringLiteral("http")));
    }
    // The real port refuses the same addresses on its own.
    if (!opened) QVERIFY(!melorin::ui::DesktopUiPort().openAddress(address));
}

void TestMainWindow::boxesAsTheConventionsGive() {
    using melorin::ui::BoxKind;
    const auto plain =
        melorin::ui::makeMessageBox(nullptr, BoxKind::Plain, QStringLiteral("请检查网络连接!"));
    QCOMPARE(plain->icon(), QMessageBox::NoIcon);
    QCOMPARE(plain->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(plain->text(), QStringLiteral("请检查网络连接!"));
    const auto question = melorin::ui::makeMessageBox(
        nullptr, BoxKind::YesNoWarning, QStringLiteral("还存在下载进程，确定退出吗？"));
    QCOMPARE(question->icon(), QMessageBox::Warning);
    QCOMPARE(question->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(question->windowTitle(), QCoreApplication::applicationName());
    // A plain dialog frame: a title and a close button, and room for the whole title beside
    // the frame's own icon and buttons however short the text.
    const auto shortBox =
        melorin::ui::makeMessageBox(nullptr, BoxKind::Plain, QStringLiteral("好"));
    for (const auto* box : {plain.get(), question.get(), shortBox.get()}) {
        const Qt::WindowFlags flags = box->windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    }
    shortBox->show();
    QVERIFY(QTest::qWaitForWindowExposed(shortBox.get()));
    QFont bold = shortBox->font();
    bold.setBold(true);
    // At least a frame's icon and close button, some 32 pixels each, beside the title.
    QVERIFY(shortBox->width() >=
            QFontMetrics(bold).horizontalAdvance(QCoreApplication::applicationName()) + 64);
}

MELORIN_GUI_TEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
