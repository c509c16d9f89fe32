// Online playing in the real window, offscreen against the local service: the play list's
// buttons, saving and loading a list through the real file dialogs, "在线播放" writing its files
// into a program folder with a blank and playing them, a list going on past an entry's end and
// past an entry that cannot be played, "html" rows, and a page that cannot be written.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStringEncoder>
#include <QToolButton>
#include <QWebEngineView>

#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"
#include "tests/app/guitestmain.h"
#include "tests/app/windowfixture.h"
#include "tests/app/windowinside.h"
#include "tests/support/files.h"
#include "tests/support/pageserver.h"
#include "ui/reportview.h"

using melorin::TForm1;
using melorin::core::SongRow;
using melorin::player::NativePlayer;
using melorin::testing::pickEntry;
using melorin::testing::RecordingUi;
using melorin::testing::typeText;
using melorin::testing::whenModalOpens;
using melorin::testing::WindowFixture;
using melorin::ui::ReportView;
namespace player = melorin::player;

namespace {

constexpr int kLoadMs = 30000;
constexpr int kEntryMs = 20000;  // a four-second entry plays to its end
const QString kNothingSelected = QStringLiteral("请在搜索栏中选择想播放的文件名！");
const QString kTypeMismatch = QStringLiteral("文件类型不符,不能追加!");

using melorin::testing::fileBytes;

bool sounds(const NativePlayer* p) {
    return p != nullptr && p->state() == NativePlayer::State::Playing && p->position() > 0;
}

QStringList addresses(const std::vector<SongRow>& rows) {
    QStringList out;
    for (const SongRow& r : rows) out << QString::fromStdString(r.address);
    return out;
}

}  // namespace

class TestPlayWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void playListButtons();
    void saveThenLoad_data();
    void saveThenLoad();
    void onlinePlayWritesAndPlays_data();
    void onlinePlayWritesAndPlays();
    void goesOnPastEndsAndFailures();
    void spacePausesAndTheEntryIsMarked();
    void htmlRows_data();
    void htmlRows();
    void unwritablePageReachesTheLog_data();
    void unwritablePageReachesTheLog();
    void rowsThatAreNotWebAddresses_data();
    void rowsThatAreNotWebAddresses();

private:
    SongRow song(const QString& path, const QString& type, const QString& title) const {
        const QString address = QStringLiteral("http://") + fx_.serviceHost() + path;
        return {melorin::core::RowShape::File,
                "1",
                0,
                title.toStdString(),
                address.toStdString(),
                "3.5 M",
                type.toStdString()};
    }
    void offer(const std::vector<SongRow>& rows, const QList<int>& selected) {
        fx_.offer(rows, selected);
    }
    // The play panel's player once it sounds, or null.
    NativePlayer* soundingPlayer() {
        NativePlayer* p = nullptr;
        if (!QTest::qWaitFor([&] { return sounds(p = win().playback().current()); }, kLoadMs))
            return nullptr;
        return p;
    }

    WindowFixture fx_{QStringLiteral("Melorin 程序/")};
    QStringList offeredFilters_;
    RecordingUi* ui_ = nullptr;
    TForm1* form_ = nullptr;
    [[nodiscard]] melorin::testing::WindowInside win() const { return inside(*form_); }
};

void TestPlayWindow::initTestCase() {
    QVERIFY2(fx_.startService(), qPrintable(fx_.serviceError()));
}

void TestPlayWindow::init() {
    form_ = &fx_.createWindow();
    ui_ = &fx_.ui();
    QVERIFY(fx_.showWindow());
}

void TestPlayWindow::cleanup() {
    offeredFilters_.clear();
    fx_.closeWindow();
}

void TestPlayWindow::playListButtons() {
    // Rows of a real search.
    win().bar.Edit1->setText(QStringLiteral("月下听风"));
    QTest::mouseClick(win().bar.Button1, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(win().results.ListView1->rowCount() >= 3, kLoadMs);
    QTRY_VERIFY_WITH_TIMEOUT(!win().results.WebBrowser1->isLoading(), kLoadMs);

    QTest::mouseClick(win().play.dragplaybtn, Qt::LeftButton);
    QCOMPARE(ui_->messages, QStringList{kNothingSelected});

    win().results.ListView1->selectRow(2);
    win().results.ListView1->selectRow(0);
    const std::vector<SongRow> picked = {win().resultRows().row(0), win().resultRows().row(2)};
    QTest::mouseClick(win().play.dragplaybtn, Qt::LeftButton);
    QTest::mouseClick(win().play.dragplaybtn,
                      Qt::LeftButton);  // no check for rows already there
    std::vector<SongRow> twice = picked;
    twice.insert(twice.end(), picked.begin(), picked.end());
    QCOMPARE(win().PlayList, twice);
    QCOMPARE(win().cardList, twice);
    QCOMPARE(win().play.playListView->rowCount(), 4);
    QCOMPARE(win().card.cardlistview->rowCount(), 4);
    QCOMPARE(win().playRows().rows(), twice);
    QCOMPARE(win().cardRows().rows(), twice);

    // An "rm" selection against a list that starts with "mp3" is taken; "wma" against a list
    // that starts with "rm" is not.
    win().PlayList = {
        song(QStringLiteral("/music/s04/015.rm"), QStringLiteral("rm"), QStringLiteral("甲"))};
    offer({song(QStringLiteral("/music/s02/030.wma"), QStringLiteral("wma"), QStringLiteral("乙"))},
          {0});
    QTest::mouseClick(win().play.dragplaybtn, Qt::LeftButton);
    QCOMPARE(ui_->messages.last(), kTypeMismatch);
    QCOMPARE(win().PlayList.size(), std::size_t{1});
    QCOMPARE(win().cardList.size(), std::size_t{4});

    // Delete takes the selected row; nothing selected, nothing happens.
    win().PlayList = twice;
    win().showPlayList();
    QTest::mouseClick(win().play.playdelbtn, Qt::LeftButton);
    QCOMPARE(win().PlayList.size(), std::size_t{4});
    win().play.playListView->selectRow(1);
    QTest::mouseClick(win().play.playdelbtn, Qt::LeftButton);
    QCOMPARE(win().PlayList, (std::vector<SongRow>{twice[0], twice[2], twice[3]}));
    QCOMPARE(win().play.playListView->rowCount(), 3);

    // Clear gives a list view below 140 pixels 145; the design's 137 is below.
    QCOMPARE(win().play.playListView->height(), 137);
    QTest::mouseClick(win().play.playclear, Qt::LeftButton);
    QVERIFY(win().PlayList.empty());
    QCOMPARE(win().play.playListView->rowCount(), 0);
    QCOMPARE(win().play.playListView->height(), 145);
    QTest::mouseClick(win().play.playclear, Qt::LeftButton);
    QCOMPARE(win().play.playListView->height(), 145);
}

void TestPlayWindow::saveThenLoad_data() {
    // Through the dialogs as the user meets them: the save dialog's filter picked with the
    // mouse, the name offered or typed, the load dialog's filter for the list's kind.
    QTest::addColumn<QString>("type");  // the first row's: the list's kind
    QTest::addColumn<int>("saveFilter");  // 0 "real播放列表(*.rpm)", 1 "winmedia播放列表(*.asf)"
    QTest::addColumn<QString>("typed");   // empty: the offered name stays
    QTest::addColumn<int>("loadFilter");  // 1 "winmedia列表(*.asx)", 2 "real列表(*.rpm)"
    QTest::newRow("real, its filter") << "rm" << 0 << QString() << 2;
    QTest::newRow("real, the winmedia filter") << "rm" << 1 << QString() << 2;
    QTest::newRow("windows media, its filter") << "wma" << 1 << QString() << 1;
    QTest::newRow("windows media, the real filter") << "wma" << 0 << QString() << 1;
    QTest::newRow("windows media, named .asf by the user")
        << "wma" << 1 << QStringLiteral("我的 列表.asf") << 0;
}

void TestPlayWindow::saveThenLoad() {
    QFETCH(QString, type);
    QFETCH(int, saveFilter);
    QFETCH(QString, typed);
    QFETCH(int, loadFilter);
    const bool real = type == u"rm";
    const std::vector<SongRow> rows = {
        song(real ? QStringLiteral("/music/s04/016.rm") : QStringLiteral("/music/s02/033.wma"),
             type, QStringLiteral("一")),
        song(QStringLiteral("/music/s01/011.mp3?from=list&n=2"), QStringLiteral("mp3"),
             QStringLiteral("二"))};
    // The dialog starts in the current folder (later in the one it was last left in): a folder
    // of the test's own.
    const QString folder = fx_.tempPath(QStringLiteral("列表 lists"));
    QVERIFY(QDir().mkpath(folder));
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder);
    const auto back = qScopeGuard([&before] { QDir::setCurrent(before); });
    ui_->realFileDialogs = true;

    // An empty play list: the save action adds the selection first.
    win().bar.Edit1->setText(QStringLiteral("  月下 "));
    offer(rows, {0, 1});
    QString offered;
    QString afterPick;
    whenModalOpens([&](QWidget& dialog) {
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* filters = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(name && filters);
        offered = name->text();
        for (int i = 0; i < filters->count(); ++i) offeredFilters_ << filters->itemText(i);
        pickEntry(filters, saveFilter);
        afterPick = name->text();
        if (!typed.isEmpty()) {
            name->selectAll();
            typeText(name, typed);
        }
        QTest::keyClick(name, Qt::Key_Return);
    });
    QTest::mouseClick(win().play.playsavebtn, Qt::LeftButton);
    QVERIFY(ui_->messages.isEmpty());
    QCOMPARE(win().PlayList, rows);
    // The filters show their texts as written, and a picked filter leaves the name alone.
    QCOMPARE(offeredFilters_, (QStringList{QStringLiteral("real播放列表(*.rpm)"),
                                           QStringLiteral("winmedia播放列表(*.asf)")}));
    QVERIFY2(offered.endsWith(real ? QStringLiteral("月下.rpm") : QStringLiteral("月下.asx")),
             qPrintable(offered));
    QCOMPARE(afterPick, offered);
    const QString path = folder + u'/' + (typed.isEmpty() ? offered : typed);
    // The file as another player reads it: CR LF lines, "&" escaped inside the markup.
    const QByteArray host = fx_.serviceHost().toLatin1();
    const QByteArray saved =
        real ? "http://" + host + "/music/s04/016.rm\r\n" + "http://" + host +
                   "/music/s01/011.mp3?from=list&n=2\r\n"
             : "<asx version = \"3.0\">\r\n<title>playlist</title>\r\n"
               "<entry>\r\n<ref href = \"http://" +
                   host + "/music/s02/033.wma\"/>\r\n</entry>\r\n" +
                   "<entry>\r\n<ref href = \"http://" + host +
                   "/music/s01/011.mp3?from=list&amp;n=2\"/>\r\n</entry>\r\n</asx>\r\n";
    QCOMPARE(fileBytes(path), saved);

    // Loading gives one row a line, shows the page for the file and leaves the working lists.
    const QByteArray workingList = fileBytes(fx_.programDir() + QStringLiteral("winmedia.asx"));
    whenModalOpens([&](QWidget& dialog) {
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* filters = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(name && filters);
        QCOMPARE(filters->itemText(0), QStringLiteral("real列表(*.rpm);winmedia列表(*.asx)"));
        pickEntry(filters, loadFilter);
        typeText(name, QFileInfo(path).fileName());
        QTest::keyClick(name, Qt::Key_Return);
    });
    QTest::mouseClick(win().play.playloadbtn, Qt::LeftButton);
    QCOMPARE(win().PlayList.size(), rows.size());
    QVERIFY(!win().PlayList[0].isFile());
    QCOMPARE(
        win().playRows().text(0, 0),
        real ? QString::fromStdString(rows[0].address)
             : QStringLiteral("<ref href = \"%1\"/>").arg(QString::fromStdString(rows[0].address)));
    const QString page =
        fx_.programDir() + (real ? QStringLiteral("1.html") : QStringLiteral("2.html"));
    // The page names the loaded file, in GBK as the page is.
    const QByteArray target = "file://" + QByteArray(QStringEncoder("GBK")(path));
    const QByteArray pageLine = real ? "<param name=\"SRC\" value=\"" + target + "\">"
                                     : "<PARAM NAME=\"fileName\" VALUE=\"" + target + "\">";
    QVERIFY2(fileBytes(page).contains("\r\n" + pageLine + "\r\n"), fileBytes(page).constData());
    QCOMPARE(fileBytes(fx_.programDir() + QStringLiteral("winmedia.asx")), workingList);
    QTRY_COMPARE_WITH_TIMEOUT(win().play.WebBrowser3->engineView()->url(),
                              QUrl::fromLocalFile(page), kLoadMs);
    // Whatever its name, a list that "存" wrote plays after "装".
    NativePlayer* p = soundingPlayer();
    QVERIFY(p);
    QCOMPARE(p->entryCount(), 2);
    QCOMPARE(p->title(), real ? QStringLiteral("016.rm") : QStringLiteral("033.wma"));
}

void TestPlayWindow::onlinePlayWritesAndPlays_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("files");  // the working list, then the page
    QTest::addColumn<int>("heightAfter");    // of a 145-pixel list view
    // The working list's bytes (HOST: the service) and the page's line that names it (DIR/: the
    // program folder).
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QByteArray>("pageLine");
    const QStringList windowsMedia{QStringLiteral("winmedia.asx"), QStringLiteral("2.html")};
    const QByteArray asxHead = "<asx version = \"3.0\">\r\n<title>demo</title>\r\n<entry>\r\n";
    const QByteArray asxTail = "\"/>\r\n</entry>\r\n</asx>\r\n";
    const QByteArray asxPageLine = "<PARAM NAME=\"fileName\" VALUE=\"file://DIR/winmedia.asx \">";
    QTest::newRow("mp3") << "/music/s01/000.mp3"
                         << "mp3" << windowsMedia << 70
                         << asxHead + "<ref href = \"http://HOST/music/s01/000.mp3" + asxTail
                         << asxPageLine;
    QTest::newRow("wma, an address with &")
        << "/music/s02/030.wma?a=1&b=2"
        << "wma" << windowsMedia << 70
        << asxHead + "<ref href = \"http://HOST/music/s02/030.wma?a=1&amp;b=2" + asxTail
        << asxPageLine;
    QTest::newRow("rm") << "/music/s04/015.rm"
                        << "rm" << QStringList{QStringLiteral("1.rpm"), QStringLiteral("1.html")}
                        << 75 << QByteArray("http://HOST/music/s04/015.rm\r\n")
                        << QByteArray("<param name=\"SRC\" value=\"file://DIR/1.rpm\">");
}

void TestPlayWindow::onlinePlayWritesAndPlays() {
    QFETCH(QString, path);
    QFETCH(QString, type);
    QFETCH(QStringList, files);
    QFETCH(int, heightAfter);
    QFETCH(QByteArray, list);
    QFETCH(QByteArray, pageLine);
    const std::vector<SongRow> rows = {song(path, type, QStringLiteral("月下听风 ") + type)};
    win().PlayList = {
        song(QStringLiteral("/music/s01/012.mp3"), QStringLiteral("mp3"), QStringLiteral("旧的"))};
    QTest::mouseClick(win().play.playclear, Qt::LeftButton);
    QVERIFY(!win().play.WebBrowser3->isVisible());
    offer(rows, {0});
    bool labelWhileLoading = false;
    const QMetaObject::Connection watch = connect(
        win().play.WebBrowser3, &melorin::WebBrowser::ProgressChange, this,
        [&] { labelWhileLoading = labelWhileLoading || win().play.SeSkinLabel4->isVisible(); });
    QTest::mouseClick(win().play.SeSkinButton4, Qt::LeftButton);
    QTest::mouseClick(win().play.SeSkinButton4,
                      Qt::LeftButton);  // the list is the selection, not twice it
    QCOMPARE(win().PlayList, rows);
    QCOMPARE(win().cardList.size(), std::size_t{2});

    // The working list and the page that names it, blank and all.
    QCOMPARE(fileBytes(fx_.programDir() + files[0]),
             list.replace("HOST", fx_.serviceHost().toLatin1()));
    const QByteArray page = fileBytes(fx_.programDir() + files[1]);
    QStringEncoder gbk("GBK");  // the pages are GBK, the folder's name with them
    pageLine.replace("DIR/", QByteArray(gbk(fx_.programDir())));
    QVERIFY2(page.contains("\r\n" + pageLine + "\r\n"), page.constData());
    QCOMPARE(win().play.playListView->height(),
             heightAfter);  // shrunk once: 70 + 70 < 140
    QVERIFY(win().play.WebBrowser3->isVisible());
    const QObjectList& siblings = win().play.SeSkinPanel1->children();
    QVERIFY(siblings.indexOf(win().play.WebBrowser3->view()) >
            siblings.indexOf(win().play.playListView));
    QTRY_COMPARE_WITH_TIMEOUT(win().play.WebBrowser3->engineView()->url(),
                              QUrl::fromLocalFile(fx_.programDir() + files[1]), kLoadMs);

    // The page's player sounds and goes on; the loading label has gone.
    NativePlayer* p = soundingPlayer();
    QVERIFY(p);
    const qint64 first = p->position();
    QTRY_VERIFY_WITH_TIMEOUT(p->position() >= first + 300, kEntryMs);
    QCOMPARE(p->title(), QStringLiteral("月下听风 ") + type);
    disconnect(watch);
    QVERIFY(labelWhileLoading);
    QTRY_VERIFY_WITH_TIMEOUT(!win().play.SeSkinLabel4->isVisible(), kLoadMs);
}

void TestPlayWindow::goesOnPastEndsAndFailures() {
    const std::vector<SongRow> rows = {
        song(QStringLiteral("/music/s01/999.mp3"), QStringLiteral("mp3"), QStringLiteral("坏的")),
        song(QStringLiteral("/music/s01/013.mp3"), QStringLiteral("mp3"), QStringLiteral("好的")),
        song(QStringLiteral("/music/s01/034.wma"), QStringLiteral("wma"),
             QStringLiteral("下一首"))};
    offer(rows, {0, 1, 2});
    QTest::mouseClick(win().play.SeSkinButton4, Qt::LeftButton);
    NativePlayer* p = soundingPlayer();
    QVERIFY(p);
    QCOMPARE(p->entryIndex(), 1);
    QVERIFY2(p->message().contains(QStringLiteral("坏的")), qPrintable(p->message()));
    QCOMPARE(p->title(), QStringLiteral("好的"));
    QTRY_VERIFY_WITH_TIMEOUT(p->entryIndex() == 2 && sounds(p), kEntryMs);
    QCOMPARE(p->title(), QStringLiteral("下一首"));
}

void TestPlayWindow::spacePausesAndTheEntryIsMarked() {
    const std::vector<SongRow> rows = {
        song(QStringLiteral("/music/s01/013.mp3"), QStringLiteral("mp3"), QStringLiteral("第一")),
        song(QStringLiteral("/music/s01/034.wma"), QStringLiteral("wma"), QStringLiteral("第二"))};
    offer(rows, {0, 1});
    QTest::mouseClick(win().play.SeSkinButton4, Qt::LeftButton);
    NativePlayer* p = soundingPlayer();
    QVERIFY(p);
    QTRY_COMPARE(win().playRows().markedRow(), 0);
    QCOMPARE(win().play.playListView->model()->index(0, 0).data().toString(),
             QStringLiteral("▶ 1"));

    // Space in a list pauses and plays the player shown; in the search box it is a space.
    ReportView* list = win().play.playListView;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->rowRect(1).center());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(p->state(), NativePlayer::State::Paused);
    QCOMPARE(win().playRows().markedRow(), 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(p->state(), NativePlayer::State::Playing);
    QTest::mouseClick(win().bar.Edit1, Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(win().bar.Edit1->text(), QStringLiteral(" "));
    QCOMPARE(p->state(), NativePlayer::State::Playing);

    // The mark follows the player to the next entry, and goes with the rows.
    p->next();
    QTRY_COMPARE(win().playRows().markedRow(), 1);
    QTest::mouseClick(win().play.playclear, Qt::LeftButton);
    QCOMPARE(win().playRows().markedRow(), -1);
}

void TestPlayWindow::htmlRows_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("opened");
    QTest::newRow("web page") << "http://127.0.0.1:1/flash/000-1.html" << true;
    QTest::newRow("local file") << "file:///etc/passwd" << false;
    QTest::newRow("a program") << "/usr/bin/xterm" << false;
}

void TestPlayWindow::htmlRows() {
    QFETCH(QString, address);
    QFETCH(bool, opened);
    const SongRow kept =
        song(QStringLiteral("/music/s01/014.mp3"), QStringLiteral("mp3"), QStringLiteral("留着"));
    win().PlayList = {kept};
    SongRow flash = song(QString(), QStringLiteral("html"), QStringLiteral("动画"));
    flash.address = address.toStdString();
    offer({melorin::core::listEntry("1", "歌手", "m?word=x"), flash}, {0, 1});
    QTest::mouseClick(win().play.SeSkinButton4, Qt::LeftButton);
    QCOMPARE(ui_->openedAddresses, opened ? QStringList{address} : QStringList());
    QCOMPARE(win().DownloadLog.join(u'\n').contains(address), !opened);
    QCOMPARE(win().PlayList, std::vector<SongRow>{kept});
    QVERIFY(!win().play.WebBrowser3->isVisible());
    QVERIFY(ui_->messages.isEmpty());
}

void TestPlayWindow::unwritablePageReachesTheLog_data() {
    // The program's folder, whose name the failure's text holds: it never acts as a network
    // failure would ("access" closes the program, "socket" and "40" skip a download).
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << "Melorin";
    QTest::newRow("access") << "home/access/Melorin";
    QTest::newRow("40首") << "music/40首";
    QTest::newRow("Socket") << "Socket 404";
}

void TestPlayWindow::unwritablePageReachesTheLog() {
    // A folder in the page's place: the page cannot be replaced; the failure is logged and
    // nothing is shown.
    QFETCH(QString, folder);
    WindowFixture other(folder);
    const QString page = other.programDir() + QStringLiteral("/2.html");
    QVERIFY(QDir().mkpath(page));
    TForm1& form = other.createWindow(fx_.serviceHost());
    const auto w = inside(form);
    QSignalSpy closed(&form, &TForm1::closed);
    const std::vector<SongRow> rows = {
        song(QStringLiteral("/music/s01/000.mp3"), QStringLiteral("mp3"), QStringLiteral("歌"))};
    other.offer(rows, {0});
    // Two queued rows that a skip would move past.
    w.play.dragdownbtn->click();
    w.play.dragdownbtn->click();
    QCOMPARE(w.downloads.downloadlistview->rowCount(), 2);
    w.play.SeSkinButton4->click();
    const QString log = w.DownloadLog.join(u'\n');
    QVERIFY2(log.contains(folder + QStringLiteral("/2.html")), qPrintable(log));
    QVERIFY2(!log.contains(QStringLiteral("不能下载")), qPrintable(log));
    QVERIFY(other.ui().messages.isEmpty());
    QCOMPARE(closed.count(), 0);
    QCOMPARE(addresses(w.PlayList), addresses(rows));
    QVERIFY(!w.play.WebBrowser3->isVisible());
    QVERIFY(QFileInfo(page).isDir());
}

void TestPlayWindow::rowsThatAreNotWebAddresses_data() {
    // "@LIST@": a list of this computer whose only entry is an address that only the test's
    // server would ever see asked for.
    QTest::addColumn<QString>("address");
    QTest::newRow("file") << "file://@LIST@";
    QTest::newRow("absolute path") << "@LIST@";
    QTest::newRow("javascript") << "javascript:location='@LEAK@'";
    QTest::newRow("data") << "data:audio/x-pn-realaudio,@LEAK@";
}

void TestPlayWindow::rowsThatAreNotWebAddresses() {
    // Each action that takes result rows refuses the row with a line in the log; nothing of it
    // reaches a list, a page, a file or the network.
    QFETCH(QString, address);
    melorin::testing::PageServer server([](const QByteArray&) {
        return melorin::testing::PageServer::Answer{404, {}};
    });
    QVERIFY(server.listening());
    const QString leak = server.url("/leak.mp3");
    const QString list = fx_.tempPath(QStringLiteral("private.rpm"));
    QFile listFile(list);
    QVERIFY(listFile.open(QIODevice::WriteOnly));
    listFile.write(leak.toUtf8() + "\r\n");
    listFile.close();
    address.replace(QStringLiteral("@LIST@"), list).replace(QStringLiteral("@LEAK@"), leak);
    SongRow row = song(QString(), QStringLiteral("ram"), QStringLiteral("本机的列表"));
    row.address = address.toStdString();

    // Earlier tests' pages and lists go: whatever is there afterwards was written here.
    const QStringList written = {QStringLiteral("*.rpm"), QStringLiteral("*.asx"),
                                 QStringLiteral("*.html")};
    QDir programDir(fx_.programDir());
    for (const QString& name : programDir.entryList(written, QDir::Files))
        QVERIFY(programDir.remove(name));

    const std::pair<const char*, QWidget*> actions[] = {{"在线播放", win().play.SeSkinButton4},
                                                        {"播", win().play.dragplaybtn},
                                                        {"卡", win().play.dragcardbtn},
                                                        {"下", win().play.dragdownbtn}};
    for (const auto& [name, button] : actions) {
        QTest::mouseClick(win().functions.Button3,
                          Qt::LeftButton);  // the search view with its buttons
        offer({row}, {0});
        const qsizetype logged = win().DownloadLog.size();
        QTest::mouseClick(button, Qt::LeftButton);
        const QStringList added = win().DownloadLog.mid(logged);
        QVERIFY2(added.size() == 1 && added.first().contains(address), name);
        QVERIFY2(ui_->messages.isEmpty(), qPrintable(ui_->messages.join(u'|')));
        QVERIFY2(win().PlayList.empty() && win().cardList.empty(), name);
        QCOMPARE(win().downloads.downloadlistview->rowCount(), 0);
        QVERIFY(!win().play.WebBrowser3->isVisible());
    }
    QCOMPARE(programDir.entryList(written, QDir::Files), QStringList());
    QCOMPARE(win().play.WebBrowser3->engineView(), nullptr);  // no page was ever shown
    QCOMPARE(server.targets, QList<QByteArray>());
}

MELORIN_GUI_TEST_MAIN(TestPlayWindow)
#include "test_play_window.moc"
