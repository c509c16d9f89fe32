// The real main window searching the project's own service over loopback: the exact addresses
// that arrive, paging to the limit, stop, refresh, list pages and the texts the window shows.

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTcpServer>
#include <QToolButton>

#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "tests/app/guitestmain.h"
#include "tests/app/windowfixture.h"
#include "tests/app/windowinside.h"
#include "tests/support/pageserver.h"
#include "tests/support/servicerun.h"
#include "ui/reportview.h"

using melorin::TForm1;
using melorin::testing::RecordingUi;
using melorin::testing::WindowFixture;

namespace {

constexpr int kSearchTimeoutMs = 90000;

// The request lines the service has logged since `mark` lines.
QStringList requestLines(const QString& logPath, qsizetype mark = 0) {
    QFile f(logPath);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(f.readAll()).split(u'\n', Qt::SkipEmptyParts).mid(mark);
}

QStringList followUps(const QStringList& lines) {
    static const QRegularExpression next(
        QStringLiteral("^GET /m\\?lm=\\d&ct=134217728&tn=baidump3&word="));
    QStringList found;
    for (const QString& l : lines) {
        if (next.match(l).hasMatch()) found << l;
    }
    return found;
}

// Until the search browser rests and no new request has arrived for a while.
void waitUntilQuiet(TForm1& form, const QString& logPath) {
    const auto w = inside(form);
    QElapsedTimer t;
    t.start();
    qsizetype seen = -1;
    QElapsedTimer still;
    still.start();
    while (t.elapsed() < kSearchTimeoutMs) {
        QTest::qWait(100);
        const qsizetype n = requestLines(logPath).size();
        if (n != seen || w.results.WebBrowser1->isLoading() || w.results.WebBrowser2->isLoading()) {
            seen = n;
            still.restart();
        } else if (still.elapsed() > 1200) {
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("the search did not come to rest: %1 %2")
                         .arg(w.results.WebBrowser1->isLoading())
                         .arg(w.results.WebBrowser2->isLoading())));
}

}  // namespace

class TestSearchWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstAddressIsExact();
    void longSearchPagesToTheLimit();
    void stopEndsPaging();
    void refreshStartsOver();
    void chartEntryStartsSearch();
    void columnsFitEachNewResultSet_data();
    void columnsFitEachNewResultSet();
    void selectingAnEntryThenClosingIsSafe();
    void unreachableServiceSaysSo();
    void errorPageEndsTheSearchQuietly();
    void pageTextStaysText();

private:
    // A new window in place of the one before, on the service or `service`.
    void openWindow(const QString& service = {});
    void search(const QString& text, int kind) { fx_.search(text, kind); }
    // The service keeps its log open, so a test reads only what came after its mark.
    void markLog() { mark_ = requestLines(log_).size(); }
    [[nodiscard]] QStringList requests() const { return requestLines(log_, mark_); }

    WindowFixture fx_;
    QString log_;
    qsizetype mark_ = 0;
    RecordingUi* ui_ = nullptr;
    TForm1* form_ = nullptr;
    [[nodiscard]] melorin::testing::WindowInside win() const { return inside(*form_); }
};

void TestSearchWindow::initTestCase() {
    log_ = fx_.tempPath(QStringLiteral("requests.log"));
    QVERIFY2(fx_.startService({QStringLiteral("--log"), log_}), qPrintable(fx_.serviceError()));
}

void TestSearchWindow::init() {
    markLog();
    openWindow();
    QVERIFY(fx_.showWindow());
}

void TestSearchWindow::cleanup() {
    fx_.closeWindow();
}

void TestSearchWindow::openWindow(const QString& service) {
    form_ = &fx_.createWindow(service.isEmpty() ? fx_.serviceHost() : service);
    ui_ = &fx_.ui();
}

void TestSearchWindow::firstAddressIsExact() {
    search(QStringLiteral("ab"), 2);
    waitUntilQuiet(*form_, log_);
    const QStringList lines = requests();
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first(),
             QStringLiteral("GET /m?tn=baidump3&ct=134217728&rn=&word=ab&lm=2 HTTP/1.1"));
    QCOMPARE(lines.filter(QStringLiteral("word=")).size(), 1);  // nothing found, nothing paged
    QCOMPARE(win().results.ListView1->rowCount(), 0);
    QVERIFY(ui_->messages.isEmpty());

    // A Chinese text with a blank goes out as percent-encoded GBK. The box is emptied first:
    // a kind chosen with text in the box searches that text at once.
    win().bar.Edit1->clear();
    markLog();
    search(QStringLiteral("听 风"), 0);
    waitUntilQuiet(*form_, log_);
    QCOMPARE(
        requests().value(0),
        QStringLiteral("GET /m?tn=baidump3&ct=134217728&rn=&word=%CC%FD%20%B7%E7&lm=0 HTTP/1.1"));
}

void TestSearchWindow::longSearchPagesToTheLimit() {
    search(QStringLiteral("歌"), 0);
    waitUntilQuiet(*form_, log_);
    const QStringList next = followUps(requests());
    QCOMPARE(next.size(), 19);
    for (int i = 0; i < next.size(); ++i) {
        QVERIFY2(
            next[i].contains(QStringLiteral("&pn=%1&ip=127.0.0.1&cl=3&z=0 ").arg(60 + 30 * i)) ||
                (i == 0 && next[i].contains(QStringLiteral("&pn=60&ip="))),
            qPrintable(next[i]));
    }
    QCOMPARE(win().results.ListView1->rowCount(), 20 * 30);
    QCOMPARE(win().resultRows().row(599).caption, "600");
    QVERIFY(win().resultRows().row(0).isFile());
    // The count from the first page, and the client address once in the caption.
    QCOMPARE(win().bar.resultlabel->text(), QStringLiteral(" 搜索结果  750"));
    QCOMPARE(form_->windowTitle().count(QStringLiteral("本机ip为")), 1);
    QVERIFY(form_->windowTitle().endsWith(QStringLiteral("   本机ip为:  127.0.0.1")));
    QCOMPARE(win().searchSession.state.searchPage, 21);
}

void TestSearchWindow::stopEndsPaging() {
    search(QStringLiteral("歌"), 1);
    QTRY_VERIFY_WITH_TIMEOUT(win().results.ListView1->rowCount() >= 30, kSearchTimeoutMs);
    // The service logs a page before it answers, and one page loads at a time: at most the
    // page on its way when the stop came follows.
    const qsizetype pagesAtStop = followUps(requests()).size();
    QTest::mouseClick(win().bar.stopbtn, Qt::LeftButton);
    QVERIFY(win().searchSession.state.searchStopped);
    waitUntilQuiet(*form_, log_);
    const qsizetype pagesAfterStop = followUps(requests()).size();
    QVERIFY2(pagesAfterStop <= pagesAtStop + 1,
             qPrintable(QStringLiteral("%1 then %2").arg(pagesAtStop).arg(pagesAfterStop)));
    QVERIFY(pagesAfterStop < 19);
}

void TestSearchWindow::refreshStartsOver() {
    // One title: a single page of 30 rows, then a follow-up that brings nothing.
    search(QStringLiteral("月下听风"), 0);
    waitUntilQuiet(*form_, log_);
    const int rows = win().results.ListView1->rowCount();
    QVERIFY(rows > 0);
    markLog();
    QTest::mouseClick(win().bar.SeSkinSpeedButton2, Qt::LeftButton);
    waitUntilQuiet(*form_, log_);
    const QStringList lines = requests();
    QVERIFY(lines.value(0).startsWith(QStringLiteral("GET /m?tn=baidump3&ct=134217728&rn=&word=")));
    QCOMPARE(win().results.ListView1->rowCount(), rows);
    QCOMPARE(win().resultRows().row(0).caption, "1");
}

void TestSearchWindow::chartEntryStartsSearch() {
    QTest::mouseClick(win().bar.manlistbtn, Qt::LeftButton);
    waitUntilQuiet(*form_, log_);
    QCOMPARE(requests().value(0), QStringLiteral("GET /ngeshou.html HTTP/1.1"));
    QVERIFY(win().results.ListView1->rowCount() > 0);
    const melorin::core::SongRow entry = win().resultRows().row(0);
    QCOMPARE(entry.shape, melorin::core::RowShape::ListEntry);
    QCOMPARE(entry.caption, "1");
    QVERIFY(!entry.title.empty());

    markLog();
    win().results.ListView1->selectRow(0);
    QCOMPARE(win().bar.Edit1->text(), QString::fromStdString(entry.title));
    waitUntilQuiet(*form_, log_);
    QVERIFY(requests().value(0).startsWith(
        QStringLiteral("GET /m?tn=baidump3&ct=134217728&rn=&word=")));
    QVERIFY(win().results.ListView1->rowCount() > 0);
    QVERIFY(win().resultRows().row(0).isFile());  // file rows of the singer

    // Double-click opens the selected row's address through the desktop.
    win().results.ListView1->clearSelection();
    win().results.ListView1->selectRow(0);
    QTest::mouseDClick(win().results.ListView1->viewport(), Qt::LeftButton, {},
                       win().results.ListView1->rowRect(0).center());
    QVERIFY(!ui_->openedAddresses.isEmpty());
    QCOMPARE(ui_->openedAddresses.last(),
             QString::fromStdString(win().resultRows().row(0).address));
}

void TestSearchWindow::columnsFitEachNewResultSet_data() {
    // What the list showed before a search: wider titles or addresses than the search's own.
    QTest::addColumn<QString>("before");
    QTest::newRow("the male singer chart") << "男";
    QTest::newRow("a search with longer titles") << "歌";
}

void TestSearchWindow::columnsFitEachNewResultSet() {
    QFETCH(QString, before);
    if (before == u"男") {
        QTest::mouseClick(win().bar.manlistbtn, Qt::LeftButton);
    } else {
        search(before, 0);
    }
    waitUntilQuiet(*form_, log_);
    QVERIFY(win().results.ListView1->rowCount() > 0);
    search(QStringLiteral("月下听风"), 0);
    waitUntilQuiet(*form_, log_);
    QVERIFY(win().results.ListView1->rowCount() > 0);
    // The columns are what these rows alone ask for, and all of them are in view.
    melorin::ui::ReportView& list = *win().results.ListView1;
    QList<int> shown;
    for (int c = 0; c < list.columnCount(); ++c) shown << list.columnWidth(c);
    list.fitColumns();
    QList<int> fresh;
    for (int c = 0; c < list.columnCount(); ++c) fresh << list.columnWidth(c);
    QCOMPARE(shown, fresh);
    QVERIFY(list.header()->length() <= list.viewport()->width());
}

void TestSearchWindow::selectingAnEntryThenClosingIsSafe() {
    // The search an entry starts clears the list that is still reporting the selection, and a
    // window may go away right after it with a load in flight.
    for (int round = 0; round < 3; ++round) {
        QTest::mouseClick(win().bar.womanlistbtn, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(win().results.ListView1->rowCount() > 0, kSearchTimeoutMs);
        win().results.ListView1->selectRow(0);
        QVERIFY(!win().bar.Edit1->text().isEmpty());
        openWindow();
    }
}

void TestSearchWindow::unreachableServiceSaysSo() {
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString host = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    openWindow(host);
    win().bar.Edit1->setText(QStringLiteral("ab"));
    QTest::mouseClick(win().bar.Button1, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(ui_->messages, QStringList{QStringLiteral("请检查网络连接!")}, 30000);
}

void TestSearchWindow::errorPageEndsTheSearchQuietly() {
    // A first page with one result; its follow-up answers 500 with a page of its own.
    QString host;
    melorin::testing::PageServer server([&host](const QByteArray& target) {
        QStringEncoder gbk("GBK");
        if (target.startsWith("/m?tn=baidump3")) {
            const QString page =
                QStringLiteral(
                    "<html><body><div>百度为您找到相关结果1篇</div><div><a href=\"http://") +
                host + QStringLiteral("/r?url=http://") + host +
                QStringLiteral("/a.mp3\">月下听风</a> 8.5 Mmp3</div></body></html>");
            return melorin::testing::PageServer::Answer{200, gbk.encode(page)};
        }
        return melorin::testing::PageServer::Answer{
            500, gbk.encode(QStringLiteral("<html><body>服务器出错</body></html>"))};
    });
    QVERIFY(server.listening());
    host = server.host();
    openWindow(host);
    TForm1& form = *form_;
    const auto w = inside(form);
    const RecordingUi& ui = *ui_;
    w.bar.Edit1->setText(QStringLiteral("月下"));
    // Connected after the window: once it has seen a page, the window has read it.
    QSignalSpy completed(w.results.WebBrowser1, &melorin::BrowserComponent::DocumentComplete);
    QTest::mouseClick(w.bar.Button1, Qt::LeftButton);
    // The engine also asks for the site's icon; only the pages count.
    const auto pages = [&server] {
        QList<QByteArray> p;
        for (const QByteArray& t : server.targets)
            if (t.startsWith("/m?")) p << t;
        return p;
    };
    QTRY_VERIFY_WITH_TIMEOUT(completed.count() >= 2, 30000);
    QVERIFY(!w.results.WebBrowser1->isLoading());
    QCOMPARE(pages().size(), 2);  // the error page ended the chain
    QVERIFY(pages()[1].startsWith("/m?lm=0&ct=134217728&tn=baidump3&word="));
    QCOMPARE(w.results.ListView1->rowCount(), 1);
    QCOMPARE(QString::fromStdString(w.resultRows().row(0).address),
             QStringLiteral("http://") + host + QStringLiteral("/a.mp3"));
    QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join(u'|')));
    fx_.closeWindow();  // before the server it talks to
}

void TestSearchWindow::pageTextStaysText() {
    // A page whose count holds markup and whose title holds bytes that are not GBK: the count
    // label shows the markup as text, and the title the replacement character, not its
    // reference. The caption, whatever its title holds, shows it as text too.
    QString host;
    melorin::testing::PageServer server([&host](const QByteArray& target) {
        if (!target.startsWith("/m?tn=baidump3"))
            return melorin::testing::PageServer::Answer{404, {}};
        QStringEncoder gbk("GBK");
        const QByteArray page =
            gbk.encode(QStringLiteral("<html><body><div>百度为您找到相关结果&lt;b&gt;7&lt;/b&gt;"
                                      "&lt;img src=\"/x.png\"&gt;篇</div><div><a href=\"http://") +
                       host + QStringLiteral("/r?url=http://") + host +
                       QStringLiteral("/a.mp3\">月")) +
            "\x81 " + gbk.encode(QStringLiteral("光</a> 8.5 Mmp3</div></body></html>"));
        return melorin::testing::PageServer::Answer{200, page};
    });
    QVERIFY(server.listening());
    host = server.host();
    openWindow(host);
    TForm1& form = *form_;
    const auto w = inside(form);
    w.bar.Edit1->setText(QStringLiteral("月光"));
    QTest::mouseClick(w.bar.Button1, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(
        w.results.ListView1->rowCount() == 1 && !w.results.WebBrowser1->isLoading(), 30000);
    QCOMPARE(QString::fromStdString(w.resultRows().row(0).title), QStringLiteral("月\uFFFD 光"));

    const auto showsAsText = [](const QLabel& label, const QString& text) {
        // Taken as markup, the text would shrink to "7" and a picture.
        return label.text() == text && label.textFormat() == Qt::PlainText &&
               label.sizeHint().width() >= label.fontMetrics().horizontalAdvance(text);
    };
    const QString count = QStringLiteral(" 搜索结果  <b>7</b><img src=\"/x.png\">");
    QVERIFY2(showsAsText(*w.bar.resultlabel, count), qPrintable(w.bar.resultlabel->text()));
    const QString caption = form.windowTitle() + QStringLiteral("<b>本机</b><img src=\"/x.png\">");
    form.setWindowTitle(caption);
    const auto* title = form.findChild<QLabel*>(QStringLiteral("SkinCaptionTitle"));
    QVERIFY(title != nullptr);
    QVERIFY(showsAsText(*title, caption));
    fx_.closeWindow();  // before the server it talks to
}

MELORIN_GUI_TEST_MAIN(TestSearchWindow)
#include "test_search_window.moc"
