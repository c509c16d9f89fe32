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
#include <QToolButton>
#include <QWebEngineView>

#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"
#include "player/playerpages.h"
#include "player/playlist.h"
#include "player/playlistfile.h"
#include "tests/app/guitestmain.h"
#include "tests/app/windowfixture.h"
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
namespace player = melorin::player;

namespace {

constexpr int kLoadMs = 30000;
constexpr int kEntryMs = 20000;  // a four-second entry plays to its end
const QString kNothingSelected = QStringLiteral("请在搜索栏中选择想播放的文件名！");
const QString kTypeMismatch = QStringLiteral("文件类型不符,不能追加!");

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

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
        if (!QTest::qWaitFor([&] { return sounds(p = form_->playback().current()); }, kLoadMs))
            return nullptr;
        return p;
    }

    WindowFixture fx_{QStringLiteral("Melorin 程序/")};
    QStringList offeredFilters_;
    RecordingUi* ui_ = nullptr;
    TForm1* form_ = nullptr;
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
    form_->Edit1->setText(QStringLiteral("月下听风"));
    QTest::mouseClick(form_->Button1, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(form_->ListView1->rowCount() >= 3, kLoadMs);
    QTRY_VERIFY_WITH_TIMEOUT(!form_->WebBrowser1->isLoading(), kLoadMs);

    QTest::mouseClick(form_->dragplaybtn, Qt::LeftButton);
    QCOMPARE(ui_->messages, QStringList{kNothingSelected});

    form_->ListView1->selectRow(2);
    form_->ListView1->selectRow(0);
    const std::vector<SongRow> picked = {form_->resultRows().row(0), form_->resultRows().row(2)};
    QTest::mouseClick(form_->dragplaybtn, Qt::LeftButton);
    QTest::mouseClick(form_->dragplaybtn, Qt::LeftButton);  // no check for rows already there
    std::vector<SongRow> twice = picked;
    twice.insert(twice.end(), picked.begin(), picked.end());
    QCOMPARE(form_->PlayList, twice);
    QCOMPARE(form_->cardList, twice);
    QCOMPARE(form_->playListView->rowCount(), 4);
    QCOMPARE(form_->cardlistview->rowCount(), 4);
    QCOMPARE(form_->playRows().rows(), twice);
    QCOMPARE(form_->cardRows().rows(), twice);

    // An "rm" selection against a list that starts with "mp3" is taken; "wma" against a list
    // that starts with "rm" is not.
    form_->PlayList = {
        song(QStringLiteral("/music/s04/015.rm"), QStringLiteral("rm"), QStringLiteral("甲"))};
    offer({song(QStringLiteral("/music/s02/030.wma"), QStringLiteral("wma"), QStringLiteral("乙"))},
          {0});
    QTest::mouseClick(form_->dragplaybtn, Qt::LeftButton);
    QCOMPARE(ui_->messages.last(), kTypeMismatch);
    QCOMPARE(form_->PlayList.size(), std::size_t{1});
    QCOMPARE(form_->cardList.size(), std::size_t{4});

    // Delete takes the selected row; nothing selected, nothing happens.
    form_->PlayList = twice;
    form_->showPlayList();
    QTest::mouseClick(form_->playdelbtn, Qt::LeftButton);
    QCOMPARE(form_->PlayList.size(), std::size_t{4});
    form_->playListView->selectRow(1);
    QTest::mouseClick(form_->playdelbtn, Qt::LeftButton);
    QCOMPARE(form_->PlayList, (std::vector<SongRow>{twice[0], twice[2], twice[3]}));
    QCOMPARE(form_->playListView->rowCount(), 3);

    // Clear gives a list view below 140 pixels 145; the design's 137 is below.
    QCOMPARE(form_->playListView->height(), 137);
    QTest::mouseClick(form_->playclear, Qt::LeftButton);
    QVERIFY(form_->PlayList.empty());
    QCOMPARE(form_->playListView->rowCount(), 0);
    QCOMPARE(form_->playListView->height(), 145);
    QTest::mouseClick(form_->playclear, Qt::LeftButton);
    QCOMPARE(form_->playListView->height(), 145);
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
    form_->Edit1->setText(QStringLiteral("  月下 "));
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
    QTest::mouseClick(form_->playsavebtn, Qt::LeftButton);
    QVERIFY(ui_->messages.isEmpty());
    QCOMPARE(form_->PlayList, rows);
    // The filters show their texts as written, and a picked filter leaves the name alone.
    QCOMPARE(offeredFilters_, (QStringList{QStringLiteral("real播放列表(*.rpm)"),
                                           QStringLiteral("winmedia播放列表(*.asf)")}));
    QVERIFY2(offered.endsWith(real ? QStringLiteral("月下.rpm") : QStringLiteral("月下.asx")),
             qPrintable(offered));
    QCOMPARE(afterPick, offered);
    const QString path = folder + u'/' + (typed.isEmpty() ? offered : typed);
    QCOMPARE(fileBytes(path), QByteArray::fromStdString(player::playListText(rows)));

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
    QTest::mouseClick(form_->playloadbtn, Qt::LeftButton);
    QCOMPARE(form_->PlayList.size(), rows.size());
    QVERIFY(!form_->PlayList[0].isFile());
    QCOMPARE(
        form_->playRows().text(0, 0),
        real ? QString::fromStdString(rows[0].address)
             : QStringLiteral("<ref href = \"%1\"/>").arg(QString::fromStdString(rows[0].address)));
    const QString page =
        fx_.programDir() + (real ? QStringLiteral("1.html") : QStringLiteral("2.html"));
    const std::string expected =
        real
            ? player::realPage(path.toStdString())
            : player::windowsMediaPage(path.toStdString(), player::WindowsMediaPageFor::LoadedFile);
    QCOMPARE(fileBytes(page), QByteArray::fromStdString(expected));
    QCOMPARE(fileBytes(fx_.programDir() + QStringLiteral("winmedia.asx")), workingList);
    QTRY_COMPARE_WITH_TIMEOUT(form_->WebBrowser3->engineView()->url(), QUrl::fromLocalFile(page),
                              kLoadMs);
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
    QTest::newRow("mp3") << "/music/s01/000.mp3"
                         << "mp3"
                         << QStringList{QStringLiteral("winmedia.asx"), QStringLiteral("2.html")}
                         << 70;
    QTest::newRow("wma, an address with &")
        << "/music/s02/030.wma?a=1&b=2"
        << "wma" << QStringList{QStringLiteral("winmedia.asx"), QStringLiteral("2.html")} << 70;
    QTest::newRow("rm") << "/music/s04/015.rm"
                        << "rm" << QStringList{QStringLiteral("1.rpm"), QStringLiteral("1.html")}
                        << 75;
}

void TestPlayWindow::onlinePlayWritesAndPlays() {
    QFETCH(QString, path);
    QFETCH(QString, type);
    QFETCH(QStringList, files);
    QFETCH(int, heightAfter);
    const std::vector<SongRow> rows = {song(path, type, QStringLiteral("月下听风 ") + type)};
    form_->PlayList = {
        song(QStringLiteral("/music/s01/012.mp3"), QStringLiteral("mp3"), QStringLiteral("旧的"))};
    QTest::mouseClick(form_->playclear, Qt::LeftButton);
    QVERIFY(!form_->WebBrowser3->isVisible());
    offer(rows, {0});
    bool labelWhileLoading = false;
    const QMetaObject::Connection watch =
        connect(form_->WebBrowser3, &melorin::WebBrowser::ProgressChange, this,
                [&] { labelWhileLoading = labelWhileLoading || form_->SeSkinLabel4->isVisible(); });
    QTest::mouseClick(form_->SeSkinButton4, Qt::LeftButton);
    QTest::mouseClick(form_->SeSkinButton4,
                      Qt::LeftButton);  // the list is the selection, not twice it
    QCOMPARE(form_->PlayList, rows);
    QCOMPARE(form_->cardList.size(), std::size_t{2});

    // The files are what the page library makes for this folder, blank and all.
    const player::OnlinePlayStep step = player::onlinePlay(fx_.programDir().toStdString(), rows);
    QVERIFY(step.page);
    QCOMPARE(step.page->files.size(), std::size_t{2});
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(QString::fromStdString(step.page->files[i].name), files[i]);
        QCOMPARE(fileBytes(fx_.programDir() + files[i]),
                 QByteArray::fromStdString(step.page->files[i].bytes));
    }
    QCOMPARE(form_->playListView->height(), heightAfter);  // shrunk once: 70 + 70 < 140
    QVERIFY(form_->WebBrowser3->isVisible());
    const QObjectList& siblings = form_->SeSkinPanel1->children();
    QVERIFY(siblings.indexOf(form_->WebBrowser3->view()) > siblings.indexOf(form_->playListView));
    QTRY_COMPARE_WITH_TIMEOUT(form_->WebBrowser3->engineView()->url(),
                              QUrl::fromLocalFile(fx_.programDir() + files[1]), kLoadMs);

    // The page's player sounds and goes on; the loading label has gone.
    NativePlayer* p = soundingPlayer();
    QVERIFY(p);
    const qint64 first = p->position();
    QTRY_VERIFY_WITH_TIMEOUT(p->position() >= first + 300, kEntryMs);
    QCOMPARE(p->title(), QStringLiteral("月下听风 ") + type);
    disconnect(watch);
    QVERIFY(labelWhileLoading);
    QTRY_VERIFY_WITH_TIMEOUT(!form_->SeSkinLabel4->isVisible(), kLoadMs);
}

void TestPlayWindow::goesOnPastEndsAndFailures() {
    const std::vector<SongRow> rows = {
        song(QStringLiteral("/music/s01/999.mp3"), QStringLiteral("mp3"), QStringLiteral("坏的")),
        song(QStringLiteral("/music/s01/013.mp3"), QStringLiteral("mp3"), QStringLiteral("好的")),
        song(QStringLiteral("/music/s01/034.wma"), QStringLiteral("wma"),
             QStringLiteral("下一首"))};
    offer(rows, {0, 1, 2});
    QTest::mouseClick(form_->SeSkinButton4, Qt::LeftButton);
    NativePlayer* p = soundingPlayer();
    QVERIFY(p);
    QCOMPARE(p->entryIndex(), 1);
    QVERIFY2(p->message().contains(QStringLiteral("坏的")), qPrintable(p->message()));
    QCOMPARE(p->title(), QStringLiteral("好的"));
    QTRY_VERIFY_WITH_TIMEOUT(p->entryIndex() == 2 && sounds(p), kEntryMs);
    QCOMPARE(p->title(), QStringLiteral("下一首"));
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
    form_->PlayList = {kept};
    SongRow flash = song(QString(), QStringLiteral("html"), QStringLiteral("动画"));
    flash.address = address.toStdString();
    offer({melorin::core::listEntry("1", "歌手", "m?word=x"), flash}, {0, 1});
    QTest::mouseClick(form_->SeSkinButton4, Qt::LeftButton);
    QCOMPARE(ui_->openedAddresses, opened ? QStringList{address} : QStringList());
    QCOMPARE(form_->DownloadLog.join(u'\n').contains(address), !opened);
    QCOMPARE(form_->PlayList, std::vector<SongRow>{kept});
    QVERIFY(!form_->WebBrowser3->isVisible());
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
    QSignalSpy closed(&form, &TForm1::closed);
    const std::vector<SongRow> rows = {
        song(QStringLiteral("/music/s01/000.mp3"), QStringLiteral("mp3"), QStringLiteral("歌"))};
    other.offer(rows, {0});
    // Two queued rows that a skip would move past.
    form.dragdownbtnClick();
    form.dragdownbtnClick();
    QCOMPARE(form.downloadlistview->rowCount(), 2);
    form.SeSkinButton4->click();
    const QString log = form.DownloadLog.join(u'\n');
    QVERIFY2(log.contains(folder + QStringLiteral("/2.html")), qPrintable(log));
    QVERIFY2(!log.contains(QStringLiteral("不能下载")), qPrintable(log));
    QVERIFY(other.ui().messages.isEmpty());
    QCOMPARE(closed.count(), 0);
    QCOMPARE(addresses(form.PlayList), addresses(rows));
    QVERIFY(!form.WebBrowser3->isVisible());
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

    const std::pair<const char*, QWidget*> actions[] = {{"在线播放", form_->SeSkinButton4},
                                                        {"播", form_->dragplaybtn},
                                                        {"卡", form_->dragcardbtn},
                                                        {"下", form_->dragdownbtn}};
    for (const auto& [name, button] : actions) {
        QTest::mouseClick(form_->Button3, Qt::LeftButton);  // the search view with its buttons
        offer({row}, {0});
        const qsizetype logged = form_->DownloadLog.size();
        QTest::mouseClick(button, Qt::LeftButton);
        const QStringList added = form_->DownloadLog.mid(logged);
        QVERIFY2(added.size() == 1 && added.first().contains(address), name);
        QVERIFY2(ui_->messages.isEmpty(), qPrintable(ui_->messages.join(u'|')));
        QVERIFY2(form_->PlayList.empty() && form_->cardList.empty(), name);
        QCOMPARE(form_->downloadlistview->rowCount(), 0);
        QVERIFY(!form_->WebBrowser3->isVisible());
    }
    QCOMPARE(programDir.entryList(written, QDir::Files), QStringList());
    QCOMPARE(form_->WebBrowser3->engineView(), nullptr);  // no page was ever shown
    QCOMPARE(server.targets, QList<QByteArray>());
}

MELORIN_GUI_TEST_MAIN(TestPlayWindow)
#include "test_play_window.moc"
