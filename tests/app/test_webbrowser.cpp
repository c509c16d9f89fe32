// The browser component adapter against a small HTTP server on 127.0.0.1.

#include <QStringEncoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebEngineView>
#include <QWidget>

#include "app/webbrowser.h"
#include "tests/app/guitestmain.h"
#include "tests/app/recordingui.h"

using melorin::WebBrowser;

namespace {

// Answers "/gbk" with a GBK page and "/slow" with a body that never finishes.
class PageServer : public QObject {
public:
    PageServer() {
        QVERIFY(server_.listen(QHostAddress::LocalHost));
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] { answer(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    [[nodiscard]] QString url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(QLatin1String(path));
    }
    int slowRequests = 0;

private:
    void answer(QTcpSocket* s) {
        const QByteArray request = s->readAll();
        if (request.startsWith("GET /slow")) {
            ++slowRequests;
            s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1000000\r\n\r\n<html><body>");
            return;  // the rest never comes
        }
        if (!request.startsWith("GET /gbk")) {
            s->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            s->disconnectFromHost();
            return;
        }
        QStringEncoder gbk("GBK");
        const QByteArray body = gbk.encode(QStringLiteral(
            "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\"></head>"
            "<body><p>找到相关歌曲 12 篇</p><div>第二段 <a href=\"/song?id=1\">月光小路</a></div>"
            "<p><a href=\"http://127.0.0.1:1/next&amp;pn=30\">下一页</a></p></body></html>"));
        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=gbk\r\nConnection: close\r\n");
        s->write("Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        s->disconnectFromHost();
    }
    QTcpServer server_;
};

}  // namespace

class TestWebBrowser : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void gbkPageGivesTextAndLinks();
    void refusedConnectionLeavesNoDocument();
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

void TestWebBrowser::gbkPageGivesTextAndLinks() {
    PageServer server;
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
    PageServer server;
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

void TestWebBrowser::stopEndsLoadingWithoutCompletion() {
    PageServer server;
    QSignalSpy complete(browser_, &WebBrowser::DocumentComplete);
    QSignalSpy finished(browser_->view(), &QWebEngineView::loadFinished);
    browser_->Navigate(server.url("/slow"));
    QTRY_VERIFY_WITH_TIMEOUT(server.slowRequests == 1 && browser_->isLoading(), 20000);
    browser_->Stop();
    QVERIFY(finished.wait(10000));
    QVERIFY(!browser_->isLoading());
    QTest::qWait(200);
    QCOMPARE(complete.count(), 0);
}

void TestWebBrowser::stopRightAfterNavigateLeavesIdle() {
    PageServer server;
    QSignalSpy complete(browser_, &WebBrowser::DocumentComplete);
    browser_->Navigate(server.url("/slow"));
    QVERIFY(browser_->isLoading());
    browser_->Stop();  // before the engine has even started
    QVERIFY(!browser_->isLoading());
    QTest::qWait(500);
    QVERIFY(!browser_->isLoading());
    QCOMPARE(complete.count(), 0);
}

MELORIN_GUI_TEST_MAIN(TestWebBrowser)
#include "test_webbrowser.moc"
