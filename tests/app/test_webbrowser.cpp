// The browser component adapter against a small HTTP server on 127.0.0.1.

#include <QStringEncoder>
#include <QTcpServer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWidget>

#include "app/webbrowser.h"
#include "tests/app/guitestmain.h"
#include "tests/app/recordingui.h"
#include "tests/support/pageserver.h"

using melorin::WebBrowser;

namespace {

QByteArray gbk(const QString& text) {
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

const QString kGbkPage = QStringLiteral(
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\"></head>"
    "<body><p>找到相关歌曲 12 篇</p><div>第二段 <a href=\"/song?id=1\">月光小路</a></div>"
    "<p><a href=\"http://127.0.0.1:1/next&amp;pn=30\">下一页</a></p></body></html>");

// "/gbk" a GBK page, "/slow" a body that never ends, "/missing" and "/broken" error answers
// with a page of their own, anything else a 404 without a body.
melorin::testing::PageServer::Answer answer(const QByteArray& target) {
    if (target.startsWith("/gbk")) return {200, gbk(kGbkPage)};
    if (target.startsWith("/slow")) return {200, "<html><body>", "text/html", true};
    if (target.startsWith("/missing"))
        return {404, gbk(QStringLiteral("<html><body><p>没有这一页</p>"
                                        "<a href=\"/start\">回首页</a></body></html>"))};
    if (target.startsWith("/broken"))
        return {500, gbk(QStringLiteral("<html><body><p>服务器出错</p></body></html>"))};
    return {404, {}};
}

}  // namespace

class TestWebBrowser : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void engineStartsWithTheFirstPage();
    void gbkPageGivesTextAndLinks();
    void refusedConnectionLeavesNoDocument();
    void errorAnswerIsADocument_data();
    void errorAnswerIsADocument();
    void stopEndsLoadingWithoutCompletion();
    void stopRightAfterNavigateLeavesIdle();

private:
    melorin::testing::RecordingUi ui_;
    QWidget* host_ = nullptr;
    WebBrowser* browser_ = nullptr;
};

void TestWebBrowser::init() {
    host_ = new QWidget;
    browser_ = new WebBrowser(host_, QStringLiteral("WebBrowser1"), ui_);
    browser_->view()->setGeometry(0, 0, 24, 24);
}

void TestWebBrowser::cleanup() {
    delete host_;
    host_ = nullptr;
}

void TestWebBrowser::engineStartsWithTheFirstPage() {
    // Idle browsers cost no engine: nothing runs until a page is loaded, and Stop() on an idle
    // browser starts nothing either.
    QVERIFY(browser_->engineView() == nullptr);
    browser_->Stop();
    browser_->setVisible(false);
    QVERIFY(browser_->engineView() == nullptr);
    QVERIFY(browser_->Document() == nullptr);
    QVERIFY(!browser_->isLoading());
    melorin::testing::PageServer server(answer);
    QSignalSpy complete(browser_, &WebBrowser::DocumentComplete);
    browser_->Navigate(server.url("/gbk"));
    QVERIFY(browser_->engineView() != nullptr);
    QCOMPARE(browser_->engineView()->parentWidget(), browser_->view());
    QVERIFY(complete.wait(20000));
    // Every browser's page lives in the one shared profile.
    WebBrowser second(host_, QStringLiteral("WebBrowser2"), ui_);
    second.Navigate(server.url("/gbk"));
    QCOMPARE(second.engineView()->page()->profile(), browser_->engineView()->page()->profile());
    QVERIFY(browser_->engineView()->page()->profile()->isOffTheRecord());
}

void TestWebBrowser::gbkPageGivesTextAndLinks() {
    melorin::testing::PageServer server(answer);
    QVERIFY(browser_->Document() == nullptr);  // nothing loaded yet
    QSignalSpy complete(browser_, &WebBrowser::DocumentComplete);
    QSignalSpy progress(browser_, &WebBrowser::ProgressChange);
    browser_->Navigate(server.url("/gbk"));
    QVERIFY(complete.wait(20000));
    const melorin::PageDocument* doc = browser_->Document();
    QVERIFY(doc != nullptr);
    const QStringList lines = doc->bodyText.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() >= 3, qPrintable(doc->bodyText));
    QCOMPARE(lines[0].trimmed(), QStringLiteral("找到相关歌曲 12 篇"));
    QCOMPARE(lines[1].trimmed(), QStringLiteral("第二段 月光小路"));
    QCOMPARE(doc->links.size(), 2);
    QCOMPARE(doc->links[0].href, server.url("/song?id=1"));  // made absolute
    QCOMPARE(doc->links[0].innerText, QStringLiteral("月光小路"));
    QCOMPARE(doc->links[1].href, QStringLiteral("http://127.0.0.1:1/next&pn=30"));
    QCOMPARE(doc->links[1].innerText, QStringLiteral("下一页"));
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().at(0).toInt(), 100);
    QCOMPARE(progress.last().at(1).toInt(), 100);
}

void TestWebBrowser::refusedConnectionLeavesNoDocument() {
    melorin::testing::PageServer server(answer);
    QSignalSpy complete(browser_, &WebBrowser::DocumentComplete);
    browser_->Navigate(server.url("/gbk"));
    QVERIFY(complete.wait(20000));
    QVERIFY(browser_->Document() != nullptr);

    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();  // nobody listens there now
    browser_->Navigate(QStringLiteral("http://127.0.0.1:%1/").arg(port));
    QVERIFY(complete.wait(20000));
    QVERIFY(browser_->Document() == nullptr);
}

void TestWebBrowser::errorAnswerIsADocument_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");  // a line of the body text
    QTest::addColumn<int>("links");
    QTest::newRow("404 with its page")
        << QStringLiteral("/missing") << QStringLiteral("没有这一页") << 1;
    QTest::newRow("500 with its page")
        << QStringLiteral("/broken") << QStringLiteral("服务器出错") << 0;
}

void TestWebBrowser::errorAnswerIsADocument() {
    QFETCH(QString, path);
    QFETCH(QString, text);
    QFETCH(int, links);
    melorin::testing::PageServer server(answer);
    QSignalSpy complete(browser_, &WebBrowser::DocumentComplete);
    browser_->Navigate(server.url(path.toLatin1().constData()));
    QVERIFY(complete.wait(20000));
    const melorin::PageDocument* doc = browser_->Document();
    QVERIFY2(doc != nullptr, "an error answer with a page is not a network failure");
    QVERIFY2(doc->bodyText.contains(text), qPrintable(doc->bodyText));
    QCOMPARE(doc->links.size(), links);
    QVERIFY(!browser_->isLoading());
}

void TestWebBrowser::stopEndsLoadingWithoutCompletion() {
    melorin::testing::PageServer server(answer);
    QSignalSpy complete(browser_, &WebBrowser::DocumentComplete);
    browser_->Navigate(server.url("/slow"));
    QSignalSpy finished(browser_->engineView(), &QWebEngineView::loadFinished);
    QTRY_VERIFY_WITH_TIMEOUT(server.targets.size() == 1 && browser_->isLoading(), 20000);
    browser_->Stop();
    QVERIFY(finished.wait(10000));
    QVERIFY(!browser_->isLoading());
    QVERIFY(!complete.wait(200));
}

void TestWebBrowser::stopRightAfterNavigateLeavesIdle() {
    melorin::testing::PageServer server(answer);
    QSignalSpy complete(browser_, &WebBrowser::DocumentComplete);
    browser_->Navigate(server.url("/slow"));
    QVERIFY(browser_->isLoading());
    browser_->Stop();  // before the engine has even started
    QVERIFY(!browser_->isLoading());
    QVERIFY(!complete.wait(500));  // fails as soon as a page completes
    QVERIFY(!browser_->isLoading());
}

MELORIN_GUI_TEST_MAIN(TestWebBrowser)
#include "test_webbrowser.moc"
