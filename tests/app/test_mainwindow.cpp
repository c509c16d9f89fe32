// Start-up, views, window menus and screen fitting of the real main window, offscreen.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWebEngineView>

#include "app/failurehook.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "app/webbrowser.h"
#include "tests/app/guitestmain.h"
#include "tests/app/recordingui.h"
#include "ui/reportview.h"

using melorin::TForm1;
using melorin::testing::RecordingUi;

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
    void viewButtonsSwitchPanels();
    void windowMenus();
    void fitScalesControlsOnWideScreen();
    void fitKeepsDesignSizeAt1024();
    void fitShowsEveryCaptionWhole_data();
    void fitShowsEveryCaptionWhole();
    void failureHookWritesIntoDownloadLog();
    void closeRunsCloseStepsWithoutAskingWhenIdle();
};

void TestMainWindow::startUpPreparesStateAndFolders() {
    QTemporaryDir dir;
    RecordingUi ui;
    TForm1 form(ui, {dir.path(), {}});
    const QString pd = dir.path() + u'/';
    QCOMPARE(form.ProgramDir, pd);
    QCOMPARE(form.SaveFolder, pd + QStringLiteral("music/"));
    QVERIFY(QDir(pd + QStringLiteral("music")).exists());
    QCOMPARE(form.CardPicture, pd + QStringLiteral("pic/0103.jpg"));
    QCOMPARE(form.OpenDialog1InitialDir, pd + QStringLiteral("pic/"));
    QVERIFY(!QDir(pd + QStringLiteral("pic")).exists());  // named, not created
    QCOMPARE(form.SearchPage, 2);
    QCOMPARE(form.SearchRowCount, 0);
    QCOMPARE(form.SearchStopped, false);
    QVERIFY(form.LocalIp.isEmpty());
    QCOMPARE(form.retargetRows, false);
    QCOMPARE(form.downloadState.probeRow, 0);
    QCOMPARE(form.downloadState.runningWorkers, 0);
    QCOMPARE(form.downloadState.probedSize, 0);
    QCOMPARE(form.downloadState.exitConfirmed, false);
    QCOMPARE(form.ImageList1.size(), 5);
    for (const QIcon& icon : form.ImageList1) QVERIFY(!icon.isNull());
    QCOMPARE(form.windowTitle(), QStringLiteral("Melorin"));
    QVERIFY(!form.Timer1->isActive());
    QVERIFY(ui.messages.isEmpty());
}

void TestMainWindow::startUpKeepsExistingMusicFolder() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("music")));
    QFile keep(dir.path() + QStringLiteral("/music/old.mp3"));
    QVERIFY(keep.open(QIODevice::WriteOnly));
    keep.write("song");
    keep.close();
    RecordingUi ui;
    TForm1 form(ui, {dir.path(), {}});
    QVERIFY(QFile::exists(dir.path() + QStringLiteral("/music/old.mp3")));
    QCOMPARE(QFile(dir.path() + QStringLiteral("/music/old.mp3")).size(), 4);
}

void TestMainWindow::startUpGoesOnWhenMusicCannotBeCreated() {
    QTemporaryDir dir;
    // A plain file where the folder should be: it can be neither used nor created.
    QFile blocker(dir.path() + QStringLiteral("/music"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    RecordingUi ui;
    TForm1 form(ui, {dir.path(), {}});
    QCOMPARE(form.SaveFolder, dir.path() + QStringLiteral("/music/"));
    QCOMPARE(form.ImageList1.size(), 5);  // the rest of start-up ran
    QVERIFY(form.ListView1->isVisibleTo(&form));
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
    QTemporaryDir dir;
    RecordingUi ui;
    TForm1 form(ui, {dir.path(), {}});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.ListView1->isVisible());
    QVERIFY(form.SeSkinPanel1->isVisible());
    QVERIFY(!form.Iesetpanel->isVisible());
    QVERIFY(!form.setpanel->isVisible());
    QVERIFY(!form.WebBrowser3->isVisible());
    QCOMPARE(form.focusWidget(), form.Edit1);
    QCOMPARE(form.ListView1->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(form.Button1->isDefault());
    const QList<QWidget*> hiddenControls{form.Memo1,       form.Edit2,       form.threedit,
                                         form.Button7,     form.Button9,     form.playnowbtn,
                                         form.cardsurebtn, form.SeSkinLabel4};
    for (QWidget* hidden : hiddenControls) {
        QVERIFY2(!hidden->isVisible(), qPrintable(hidden->objectName()));
    }
    QCOMPARE(form.Edit2->text(), QStringLiteral("5"));
    QCOMPARE(form.threedit->text(), QStringLiteral("15"));
    // Enter in the search box presses the default button.
    QSignalSpy pressed(form.Button1, &QPushButton::clicked);
    QTest::keyClick(form.Edit1, Qt::Key_Return);
    QCOMPARE(pressed.count(), 1);
}

void TestMainWindow::viewButtonsSwitchPanels() {
    QTemporaryDir dir;
    RecordingUi ui;
    TForm1 form(ui, {dir.path(), {}});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    struct View {
        QPushButton* button;
        bool list, play, download, card;
    };
    const View views[] = {{form.Button4, false, false, true, false},
                          {form.Button5, false, false, false, true},
                          {form.Button3, true, true, false, false},
                          {form.Button4, false, false, true, false},
                          {form.Button3, true, true, false, false}};
    for (const View& v : views) {
        QTest::mouseClick(v.button, Qt::LeftButton);
        QCOMPARE(form.ListView1->isVisible(), v.list);
        QCOMPARE(form.SeSkinPanel1->isVisible(), v.play);
        QCOMPARE(form.Iesetpanel->isVisible(), v.download);
        QCOMPARE(form.setpanel->isVisible(), v.card);
        for (QPushButton* b : {form.Button3, form.Button4, form.Button5})
            QCOMPARE(b->isChecked(), b == v.button);
    }
    // The engine box offers one entry; changing views left the search box and its kind alone.
    QCOMPARE(form.SeSkinComboBox2->count(), 1);
    QCOMPARE(form.SeSkinComboBox1->currentText(), QStringLiteral("MP3"));
}

void TestMainWindow::windowMenus() {
    QTemporaryDir dir;
    RecordingUi ui;
    TForm1 form(ui, {dir.path(), {}});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
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
    QTemporaryDir dir;
    RecordingUi ui;
    TForm1 form(ui, {dir.path(), {}});
    const int fontBefore = form.ListView1->font().pointSize();
    form.fitToScreen(QRect(0, 0, 1280, 1024));
    QCOMPARE(form.Panel2->width(), 151);
    QCOMPARE(form.ListView1->geometry(), QRect(151, 91, 721, 400));
    QCOMPARE(form.SeSkinPanel1->height(), 251);
    QCOMPARE(form.playListView->geometry(), QRect(10, 70, 701, 171));
    QCOMPARE(form.Button3->size(), QSize(93, 75));
    QCOMPARE(form.SeSkinProgressBar6->width(), 290);
    QCOMPARE(form.size(), QSize(151 + 721 + 10, 400 + 251 + 171));
    QVERIFY(form.ListView1->font().pointSizeF() > fontBefore);
    // The aligned regions follow the new client size.
    QCOMPARE(form.Panel1->width(), form.clientArea()->width());
    QCOMPARE(form.SeSkinStatusBar1->geometry().bottom(), form.clientArea()->height() - 1);
}

void TestMainWindow::fitKeepsDesignSizeAt1024() {
    QTemporaryDir dir;
    RecordingUi ui;
    TForm1 form(ui, {dir.path(), {}});
    const QSize before = form.size();
    form.fitToScreen(QRect(0, 0, 1024, 768));
    QCOMPARE(form.size(), before);
    QCOMPARE(form.clientArea()->size(), QSize(696, 604));
    QCOMPARE(form.ListView1->geometry(), QRect(121, 73, 577, 320));
    QCOMPARE(form.SeSkinPanel1->geometry(), QRect(121, 384, 575, 201));
    QCOMPARE(form.SeSkinStatusBar1->geometry(), QRect(0, 582, 696, 22));
    QCOMPARE(form.Panel2->geometry(), QRect(0, 73, 121, 509));
    QCOMPARE(form.Iesetpanel->geometry(), QRect(121, 73, 575, 509));
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
    QTemporaryDir dir;
    RecordingUi ui;
    TForm1 form(ui, {dir.path(), {}});
    const double designPoints = form.Button3->font().pointSizeF();
    form.fitToScreen(available);
    QVERIFY(form.width() <= available.width());
    QVERIFY(form.height() <= available.height());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const double scale = std::min(available.width() / 1024.0, available.height() / 768.0);
    const double expected = designPoints * std::max(scale, 1.0);
    for (QPushButton* view : {form.Button4, form.Button5, form.Button3}) {
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
        for (auto* list : form.clientArea()->findChildren<melorin::ui::ReportView*>()) {
            if (!list->isVisible()) continue;
            for (int c = 0; c < list->columnCount(); ++c) {
                QVERIFY2(list->header()->sectionSize(c) >= list->header()->sectionSizeHint(c),
                         qPrintable(list->objectName() + u' ' + list->headerItem()->text(c)));
            }
        }
    }
}

void TestMainWindow::failureHookWritesIntoDownloadLog() {
    QTemporaryDir dir;
    RecordingUi ui;
    TForm1 form(ui, {dir.path(), {}});
    melorin::reportFailure(QStringLiteral("disk full while writing"));
    QVERIFY(form.downinimemo->toPlainText().contains(QStringLiteral("disk full while writing")));
}

void TestMainWindow::closeRunsCloseStepsWithoutAskingWhenIdle() {
    // The question while files download is covered over loopback in test_downloadrun.
    QTemporaryDir dir;
    RecordingUi ui;
    TForm1 form(ui, {dir.path(), {}});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QSignalSpy closed(&form, &TForm1::closed);
    form.Timer1->start();
    QVERIFY(form.close());
    QVERIFY(ui.questions.isEmpty());
    QCOMPARE(closed.count(), 1);
    QCOMPARE(closed.first().first().toInt(), 0);
    QVERIFY(!form.Timer1->isActive());
}

MELORIN_GUI_TEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
