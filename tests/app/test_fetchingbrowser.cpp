// The hidden browsers' component without an engine: every page the local demo service serves
// reads the same through it as through the browser engine (body text line by line, links with
// their addresses and texts), and it keeps the browser component's promises on failures, stop
// and progress.

#include <QStringEncoder>
#include <QTcpServer>
#include <QWidget>

#include "app/fetchingbrowser.h"
#include "app/webbrowser.h"
#include "tests/app/guitestmain.h"
#include "tests/app/recordingui.h"
#include "tests/support/pageserver.h"
#include "tests/support/servicerun.h"

using melorin::BrowserComponent;
using melorin::FetchingBrowser;
using melorin::PageDocument;
using melorin::WebBrowser;

namespace {

constexpr int kLoadMs = 20000;

QByteArray gbkWord(const QString& word) {
    QStringEncoder gbk("GBK");
    return QByteArray(gbk.encode(word)).toPercentEncoding();
}

// Loads `url` and waits for its completion; false when none came.
bool load(BrowserComponent& browser, const QString& url) {
    QSignalSpy done(&browser, &BrowserComponent::DocumentComplete);
    browser.Navigate(QUrl(url, QUrl::StrictMode));
    return done.wait(kLoadMs);
}

QString shown(const QString& line) {
    QString s = line;
    s.replace(u'\t', QStringLiteral("\\t")).replace(QChar(0xA0), QStringLiteral("<nbsp>"));
    return u'[' + s + u']';
}

}  // namespace

class TestFetchingBrowser : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void readsAsTheEngineDoes_data();
    void readsAsTheEngineDoes();
    void noAnswerLeavesNoDocument();
    void errorAnswerIsADocument();
    void stopAndNewerNavigateReportNothing();

private:
    melorin::testing::ServiceRun service_;
    melorin::testing::RecordingUi ui_;
    QWidget* host_ = nullptr;
    WebBrowser* engine_ = nullptr;
    FetchingBrowser* reader_ = nullptr;
};

void TestFetchingBrowser::initTestCase() {
    QVERIFY2(service_.start(), qPrintable(service_.error()));
    host_ = new QWidget;
    engine_ = new WebBrowser(host_, QStringLiteral("engine"), ui_);
    engine_->view()->setGeometry(0, 0, 24, 24);
    reader_ = new FetchingBrowser(host_, QStringLiteral("reader"), "Melorin-test");
}

void TestFetchingBrowser::cleanupTestCase() {
    delete host_;
}

void TestFetchingBrowser::readsAsTheEngineDoes_data() {
    QTest::addColumn<QString>("target");
    const QByteArray song = gbkWord(QStringLiteral("歌"));
    const QByteArray singer = gbkWord(QStringLiteral("沈墨川"));
    const QByteArray album = gbkWord(QStringLiteral("听风集"));
    const auto row = [](const char* name, const QByteArray& target) {
        QTest::newRow(name) << QString::fromLatin1(target);
    };
    row("home", "/");
    row("help page, untidy markup", "/help.html");
    row("mp3, first page", "/m?tn=baidump3&ct=134217728&rn=&word=" + song + "&lm=0");
    row("mp3, follow-up page",
        "/m?lm=0&ct=134217728&tn=baidump3&word=" + song + "&pn=60&ip=127.0.0.1&cl=3&z=0");
    row("rm, last page",
        "/m?lm=1&ct=134217728&tn=baidump3&word=" + song + "&pn=720&ip=127.0.0.1&cl=3&z=0");
    row("all kinds, a singer", "/m?tn=baidump3&ct=134217728&rn=&word=" + singer + "&lm=-1");
    row("past the last result",
        "/m?lm=0&ct=134217728&tn=baidump3&word=" + song + "&pn=900&ip=127.0.0.1&cl=3&z=0");
    row("no result",
        "/m?tn=baidump3&ct=134217728&rn=&word=" + gbkWord(QStringLiteral("无此歌名")) + "&lm=4");
    row("flash, first page",
        "/f?tn=flash&sort=time&rn=10&pn=0&cl=3&f=8&word=" + song + "&ct=33554432");
    row("flash, follow-up page", "/f?lm=0&ct=33554432&tn=flash&word=" + song + "&pn=10");
    row("album", "/m?tn=baidump3&ct=134217728&word=" + album + "&lm=-1&f=al");
    row("male singers", "/ngeshou.html");
    row("female singers", "/ygeshou.html");
    row("song chart", "/mp3.html");
    row("all singers", "/singer/singers.html");
    row("one singer", "/singer/03.html");
    row("flash item", "/flash/004-1.html");
    row("404 page", "/nothing-here");
    row("refused redirect, 400 page", "/r?url=http://elsewhere.invalid/");
}

void TestFetchingBrowser::readsAsTheEngineDoes() {
    QFETCH(QString, target);
    const QString url = QStringLiteral("http://") + QString::fromLatin1(service_.host()) + target;
    QVERIFY(load(*engine_, url));
    QVERIFY(load(*reader_, url));
    const PageDocument* seen = engine_->Document();
    const PageDocument* read = reader_->Document();
    QVERIFY(seen != nullptr);
    QVERIFY(read != nullptr);

    const QStringList engineLines = seen->bodyText.split(u'\n');
    const QStringList readerLines = read->bodyText.split(u'\n');
    for (qsizetype i = 0; i < std::max(engineLines.size(), readerLines.size()); ++i) {
        const QString e = engineLines.value(i, QStringLiteral("(none)"));
        const QString r = readerLines.value(i, QStringLiteral("(none)"));
        QVERIFY2(e == r, qPrintable(QStringLiteral("line %1: engine %2, reader %3")
                                        .arg(i + 1)
                                        .arg(shown(e), shown(r))));
    }
    for (qsizetype i = 0; i < std::max(seen->links.size(), read->links.size()); ++i) {
        const melorin::PageLink e = seen->links.value(i, {QStringLiteral("(none)"), {}});
        const melorin::PageLink r = read->links.value(i, {QStringLiteral("(none)"), {}});
        QVERIFY2(e.href == r.href && e.innerText == r.innerText,
                 qPrintable(QStringLiteral("link %1: engine %2 %3, reader %4 %5")
                                .arg(i + 1)
                                .arg(e.href, shown(e.innerText), r.href, shown(r.innerText))));
    }
    QCOMPARE(read->url, seen->url);
}

void TestFetchingBrowser::noAnswerLeavesNoDocument() {
    QVERIFY(load(*reader_, QStringLiteral("http://%1/").arg(QString::fromLatin1(service_.host()))));
    QVERIFY(reader_->Document() != nullptr);
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();  // nobody listens there now
    QVERIFY(load(*reader_, QStringLiteral("http://127.0.0.1:%1/").arg(port)));
    QVERIFY(reader_->Document() == nullptr);
    QVERIFY(!reader_->isLoading());
    // Only web addresses load: a local file ends the same way, without reading it.
    QVERIFY(load(*reader_, QStringLiteral("file:///etc/hostname")));
    QVERIFY(reader_->Document() == nullptr);
}

void TestFetchingBrowser::errorAnswerIsADocument() {
    melorin::testing::PageServer server([](const QByteArray&) {
        return melorin::testing::PageServer::Answer{
            500, "<html><body><p>服务器出错</p><a href=\"/again\">再试</a></body></html>",
            "text/html; charset=utf-8"};
    });
    QSignalSpy progress(reader_, &BrowserComponent::ProgressChange);
    QVERIFY(load(*reader_, server.url("/broken")));
    const PageDocument* doc = reader_->Document();
    QVERIFY2(doc != nullptr, "an error answer with a page is not a network failure");
    QCOMPARE(doc->bodyText, QStringLiteral("服务器出错\n\n再试"));
    QCOMPARE(doc->links.size(), 1);
    QCOMPARE(doc->links[0].href, server.url("/again"));
    QVERIFY(progress.size() >= 2);
    QCOMPARE(progress.last().at(0).toInt(), 100);
    QCOMPARE(progress.last().at(1).toInt(), 100);
}

void TestFetchingBrowser::stopAndNewerNavigateReportNothing() {
    melorin::testing::PageServer server([](const QByteArray& target) {
        if (target.startsWith("/slow"))
            return melorin::testing::PageServer::Answer{200, "<p>", "text/html", true};
        return melorin::testing::PageServer::Answer{200, "<p>快</p>", "text/html; charset=utf-8"};
    });
    // The "/slow" answer never ends; Stop() ends the load at once and nothing completes.
    QSignalSpy complete(reader_, &BrowserComponent::DocumentComplete);
    server.targets.clear();
    reader_->Navigate(QUrl(server.url("/slow")));
    QVERIFY(reader_->isLoading());
    QTRY_COMPARE_WITH_TIMEOUT(server.targets.size(), 1, kLoadMs);
    reader_->Stop();
    QVERIFY(!reader_->isLoading());
    // A newer page replaces a load under way: only the newer one completes.
    reader_->Navigate(QUrl(server.url("/slow")));
    reader_->Navigate(QUrl(server.url("/fast")));
    QVERIFY(complete.wait(kLoadMs));
    QVERIFY(!complete.wait(200));  // fails as soon as the older page completes too
    QCOMPARE(complete.size(), 1);
    QCOMPARE(reader_->Document()->bodyText, QStringLiteral("快"));
}

MELORIN_GUI_TEST_MAIN(TestFetchingBrowser)
#include "test_fetchingbrowser.moc"
