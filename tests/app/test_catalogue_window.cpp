// The music catalogues in the real window against the local service (which answers only
// Melorin's User-Agent and UTF-8 texts): an engine chosen in the engine box, a search, its
// rows, one downloaded byte for byte (through the archive's redirect) and one played; then
// what the engine box does besides: searching again on a change, paging to the end, the
// buttons and kinds only the default engine has, and searches that fail.

#include <QComboBox>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QToolButton>

#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "download/downloader.h"
#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"
#include "tests/app/guitestmain.h"
#include "tests/app/windowfixture.h"
#include "tests/app/windowinside.h"
#include "tests/support/pageserver.h"
#include "ui/reportview.h"

using melorin::TForm1;
using melorin::download::RowState;
using melorin::player::NativePlayer;
using melorin::testing::WindowFixture;

namespace {

constexpr int kSearchMs = 30000;
constexpr int kArchive = 1;
constexpr int kMixter = 2;

QStringList requestLines(const QString& logPath) {
    QFile f(logPath);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

QStringList titles(TForm1& form) {
    QStringList out;
    for (const auto& r : inside(form).resultRows().rows()) out << QString::fromStdString(r.title);
    return out;
}

}  // namespace

class TestCatalogueWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void searchDownloadAndPlay_data();
    void searchDownloadAndPlay();
    void engineBoxRules();
    void stopAndRefresh();
    void failedSearchesSaySo();

private:
    // As a user does: the engine box takes the focus and the arrow keys move its choice.
    void chooseEngine(int index) {
        QComboBox* box = inside(fx_.form()).bar.SeSkinComboBox2;
        box->setFocus();
        while (box->currentIndex() < index) QTest::keyClick(box, Qt::Key_Down);
        while (box->currentIndex() > index) QTest::keyClick(box, Qt::Key_Up);
    }
    // Chinese comes from an input method: the text is committed into the focused box.
    void typeAndSearch(const QString& text) {
        TForm1& form = fx_.form();
        QTest::mouseClick(inside(form).bar.Edit1, Qt::LeftButton);
        inside(form).bar.Edit1->selectAll();
        QTest::keyClick(inside(form).bar.Edit1, Qt::Key_Delete);
        QInputMethodEvent typed;
        typed.setCommitString(text);
        QApplication::sendEvent(inside(form).bar.Edit1, &typed);
        QTest::mouseClick(inside(form).bar.Button1, Qt::LeftButton);
    }
    [[nodiscard]] bool searchEnded() const {
        return fx_.stepUntil([this] { return !inside(fx_.form()).catalogueSearch.running; },
                             kSearchMs);
    }
    [[nodiscard]] QString status() const { return inside(fx_.form()).status.searchStatus->text(); }

    WindowFixture fx_;
    QString log_;
};

void TestCatalogueWindow::initTestCase() {
    log_ = fx_.tempPath(QStringLiteral("requests.log"));
    // Answers a little late, as a distant catalogue's, so a search can be stopped halfway.
    QVERIFY2(fx_.startService({QStringLiteral("--log"), log_, QStringLiteral("--delay-ms"),
                               QStringLiteral("30")}),
             qPrintable(fx_.serviceError()));
}

void TestCatalogueWindow::init() {
    fx_.createWindow();
    QVERIFY(fx_.activateWindow());
}

void TestCatalogueWindow::cleanup() {
    fx_.closeWindow();
}

void TestCatalogueWindow::searchDownloadAndPlay_data() {
    QTest::addColumn<int>("engine");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("firstAddress");  // after the service's host
    QTest::addColumn<QString>("firstSize");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("asked");  // the first catalogue request, as it arrived

    // The first song's upload is not valid JSON, as ccMixter's answers sometimes are.
    QTest::newRow("ccMixter") << kMixter << QStringLiteral("月下听风")
                              << QStringList{QStringLiteral("月下听风 - 沈墨川"),
                                             QStringLiteral("月下听风 - 沈墨川")}
                              << QStringLiteral(
                                     "/content/user01/user01%20-%20%E6%9C%88%E4%B8%8B%E5%"
                                     "90%AC%E9%A3%8E.mp3")
                              << QStringLiteral("1.5M") << QStringLiteral(" 搜索结果  2")
                              << QStringLiteral(
                                     "GET /api/query?f=json&search=%E6%9C%88%E4%B8%8B%E5%90%"
                                     "AC%E9%A3%8E&limit=30&offset=0 HTTP/1.1");
    // One item with awkward file names; the restricted and the dark item of the same words
    // give nothing.
    QTest::newRow("Internet Archive")
        << kArchive << QStringLiteral("特别的文件名")
        << QStringList{QStringLiteral("A 面 #1? - Melorin 演示"),
                       QStringLiteral("夜曲（现场） - Melorin 演示"),
                       QStringLiteral("100% 纯音乐 - Melorin 演示")}
        << QStringLiteral("/download/melorin-names/A%20side%20%231%3F.mp3")
        << QStringLiteral("2.5M") << QStringLiteral(" 搜索结果  1")
        << QStringLiteral("GET /advancedsearch.php?q=%28title%3A%28");
}

void TestCatalogueWindow::searchDownloadAndPlay() {
    QFETCH(int, engine);
    QFETCH(QString, text);
    QFETCH(QStringList, titles);
    QFETCH(QString, firstAddress);
    QFETCH(QString, firstSize);
    QFETCH(QString, count);
    QFETCH(QString, asked);
    TForm1& form = fx_.form();
    const auto w = inside(form);
    const qsizetype mark = requestLines(log_).size();
    chooseEngine(engine);
    typeAndSearch(text);
    QVERIFY(searchEnded());
    QCOMPARE(::titles(form), titles);
    const melorin::core::SongRow first = w.resultRows().row(0);
    QCOMPARE(first.caption, "1");
    QCOMPARE(QString::fromStdString(first.address),
             QStringLiteral("http://") + fx_.serviceHost() + firstAddress);
    QCOMPARE(QString::fromStdString(first.size), firstSize);
    QCOMPARE(first.type, "mp3");
    QCOMPARE(w.resultRows().row(1).caption, "2");
    QCOMPARE(w.bar.resultlabel->text(), count);
    QVERIFY2(status().contains(QStringLiteral("搜索完毕")), qPrintable(status()));
    QVERIFY2(requestLines(log_).value(mark).startsWith(asked),
             qPrintable(requestLines(log_).value(mark)));

    // Downloaded as the default engine's rows are: "下", then "开始下载".
    w.results.ListView1->selectRow(0);
    QTest::mouseClick(w.play.dragdownbtn, Qt::LeftButton);
    QCOMPARE(w.downloads.downloadlistview->rowCount(), 1);
    QTest::mouseClick(w.downloads.downbtn, Qt::LeftButton);
    QVERIFY2(fx_.stepUntil(
                 [&] {
                     return !w.downloader().passRunning() &&
                            w.downloader().rowState(0) == RowState::Finished;
                 },
                 kSearchMs),
             qPrintable(w.DownloadLog.join(u'\n')));
    QFile saved(QString::fromStdString(w.queueRows().savePath(0)));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QFile sample(QStringLiteral(MELORIN_AUDIO_DIR "/sample.mp3"));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll() == sample.readAll());

    // And played online: "在线播放" with the row selected.
    QTest::mouseClick(w.functions.Button3, Qt::LeftButton);
    w.results.ListView1->clearSelection();
    w.results.ListView1->selectRow(1);
    QTest::mouseClick(w.play.SeSkinButton4, Qt::LeftButton);
    NativePlayer* player = nullptr;
    QVERIFY(QTest::qWaitFor(
        [&] {
            player = w.playback().current();
            return player != nullptr && player->state() == NativePlayer::State::Playing &&
                   player->position() > 0;
        },
        kSearchMs));
    QCOMPARE(player->title(), titles.value(1));
}

void TestCatalogueWindow::engineBoxRules() {
    TForm1& form = fx_.form();
    const auto w = inside(form);
    QCOMPARE(w.bar.SeSkinComboBox2->count(), 3);
    QCOMPARE(w.bar.SeSkinComboBox2->currentText(), QStringLiteral("默认mp3搜索引擎"));
    QVERIFY(w.bar.SeSkinComboBox2->toolTip().isEmpty());

    // A change of engine with text in the box searches again, there.
    chooseEngine(kArchive);
    typeAndSearch(QStringLiteral("沈墨川"));
    QVERIFY(searchEnded());
    const QStringList archiveRows = ::titles(form);
    QCOMPARE(archiveRows.size(), 9);  // five album tracks, four records
    for (const auto& r : w.resultRows().rows()) {
        QVERIFY(!QString::fromStdString(r.address).contains(QStringLiteral("restricted")));
    }
    chooseEngine(kMixter);
    // The box cuts the catalogue's name; its tip says it whole.
    QCOMPARE(w.bar.SeSkinComboBox2->toolTip(), QStringLiteral("ccMixter 知识共享音乐"));
    QVERIFY(fx_.stepUntil(
        [&] { return w.resultRows().size() > 0 && ::titles(form) != archiveRows; }, kSearchMs));
    QVERIFY(searchEnded());
    QVERIFY(QString::fromStdString(w.resultRows().row(0).address)
                .contains(QStringLiteral("/content/")));

    // Pages follow one another until one brings nothing: 75 uploads, 30 to a page.
    const qsizetype mark = requestLines(log_).size();
    typeAndSearch(QStringLiteral("歌"));
    QVERIFY(searchEnded());
    QCOMPARE(w.resultRows().size(), 75 + 15);  // every fifth upload has an instrumental
    QCOMPARE(w.resultRows().row(89).caption, "90");
    QStringList offsets;
    for (const QString& l : requestLines(log_).mid(mark)) {
        if (l.startsWith(QStringLiteral("GET /api/query")))
            offsets << l.section(u'=', -1).section(u' ', 0, 0);
    }
    QCOMPARE(offsets, (QStringList{QStringLiteral("0"), QStringLiteral("30"), QStringLiteral("60"),
                                   QStringLiteral("90")}));

    // The charts belong to the default engine.
    const int rows = w.resultRows().size();
    QTest::mouseClick(w.bar.manlistbtn, Qt::LeftButton);
    QCOMPARE(status(), QStringLiteral("排行榜、歌手列表和专辑只属于默认mp3搜索引擎"));
    QCOMPARE(w.resultRows().size(), rows);

    // A kind the catalogue does not have: the type box searches again and finds nothing.
    w.bar.SeSkinComboBox1->setFocus();
    QTest::keyClick(w.bar.SeSkinComboBox1, Qt::Key_Down);
    QCOMPARE(w.resultRows().size(), 0);
    QCOMPARE(status(), QStringLiteral("ccMixter只提供MP3文件，没有RM格式的文件"));

    // Back to the default engine: its search, its charts.
    QTest::keyClick(w.bar.SeSkinComboBox1, Qt::Key_Up);
    QVERIFY(searchEnded());
    chooseEngine(0);
    QVERIFY(fx_.stepUntil(
        [&] {
            return w.resultRows().size() > 0 &&
                   w.resultRows().row(0).address.find("/music/") != std::string::npos;
        },
        kSearchMs));
    // Its twenty pages would mix with the chart's entries: stopped first.
    QTest::mouseClick(w.bar.stopbtn, Qt::LeftButton);
    QVERIFY(fx_.stepUntil([&] { return !w.results.WebBrowser1->isLoading(); }, kSearchMs));
    QTest::mouseClick(w.bar.manlistbtn, Qt::LeftButton);
    QVERIFY(fx_.stepUntil(
        [&] { return w.resultRows().size() > 0 && !w.resultRows().row(0).isFile(); }, kSearchMs));
}

void TestCatalogueWindow::stopAndRefresh() {
    TForm1& form = fx_.form();
    const auto w = inside(form);
    chooseEngine(kArchive);
    typeAndSearch(QStringLiteral("唱片"));  // fifty items, four at a time
    QVERIFY(fx_.stepUntil([&] { return w.resultRows().size() >= 4; }, kSearchMs));
    QTest::mouseClick(w.bar.stopbtn, Qt::LeftButton);
    QVERIFY(!w.catalogueSearch.running);
    QVERIFY2(status().startsWith(QStringLiteral("互联网档案馆：搜索已停止，找到 ")),
             qPrintable(status()));
    const int rows = w.resultRows().size();
    QVERIFY(rows < 50);
    // The stop cancelled the requests: what is still queued in the event loop adds nothing.
    fx_.turn(20);
    QCOMPARE(w.resultRows().size(), rows);

    // "刷" starts over and runs to the end, numbering from 1 again.
    QTest::mouseClick(w.bar.SeSkinSpeedButton2, Qt::LeftButton);
    QVERIFY(searchEnded());
    QCOMPARE(w.resultRows().size(), 50);
    QCOMPARE(w.resultRows().row(0).caption, "1");
    QCOMPARE(w.resultRows().row(49).caption, "50");
    QCOMPARE(w.bar.resultlabel->text(), QStringLiteral(" 搜索结果  50"));
    // Rows come in the search's order, whatever order the items' answers took.
    for (int i = 0; i < 50; ++i) {
        QVERIFY(QString::fromStdString(w.resultRows().row(i).address)
                    .contains(QStringLiteral("/melorin-78rpm-%1/").arg(i + 1, 2, 10, QChar(u'0'))));
    }
}

void TestCatalogueWindow::failedSearchesSaySo() {
    TForm1& form = fx_.form();
    chooseEngine(kMixter);
    typeAndSearch(QStringLiteral("坏页"));  // the service answers a web page
    QVERIFY(searchEnded());
    QCOMPARE(status(), QStringLiteral("ccMixter的回答无法读取，搜索结束"));
    QCOMPARE(inside(form).resultRows().size(), 0);

    // Items that cannot be read are left out and counted; an error answer ends the search.
    melorin::testing::PageServer archive([](const QByteArray& target) {
        using A = melorin::testing::PageServer::Answer;
        if (target.startsWith("/advancedsearch.php") && target.contains("503")) return A{503, ""};
        if (target.startsWith("/advancedsearch.php")) {
            return A{200,
                     R"({"response":{"numFound":3,"start":0,"docs":[{"identifier":"a"},
                        {"identifier":"b"},{"identifier":"c"}]}})",
                     "application/json"};
        }
        if (target == "/metadata/a") {
            return A{200, R"({"files":[{"name":"a.mp3","format":"VBR MP3","title":"A"}]})",
                     "application/json"};
        }
        if (target == "/metadata/b") return A{500, "{}"};
        return A{200, "<html>busy</html>"};
    });
    QVERIFY(archive.listening());
    fx_.createWindow(archive.host());
    QVERIFY(fx_.activateWindow());
    chooseEngine(kArchive);
    typeAndSearch(QStringLiteral("ab"));
    QVERIFY(searchEnded());
    QCOMPARE(::titles(fx_.form()), QStringList{QStringLiteral("A")});
    QCOMPARE(status(), QStringLiteral("互联网档案馆：搜索完毕，找到 1 个文件，2 个条目无法读取"));
    typeAndSearch(QStringLiteral("503"));
    QVERIFY(searchEnded());
    QCOMPARE(status(), QStringLiteral("互联网档案馆回答错误（HTTP 503），搜索结束"));
    QVERIFY(fx_.ui().messages.isEmpty());

    // No service at all: the default engine's message.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString host = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    TForm1& offline = fx_.createWindow(host);
    QVERIFY(fx_.activateWindow());
    chooseEngine(kArchive);
    typeAndSearch(QStringLiteral("ab"));
    QVERIFY(searchEnded());
    QCOMPARE(fx_.ui().messages, QStringList{QStringLiteral("请检查网络连接!")});
    QCOMPARE(inside(offline).status.searchStatus->text(), QStringLiteral("请检查网络连接!"));
}

MELORIN_GUI_TEST_MAIN(TestCatalogueWindow)
#include "test_catalogue_window.moc"
