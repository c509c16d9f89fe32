// The GET client against a small server on 127.0.0.1: what each kind of answer becomes, the
// User-Agent on every request, redirects it follows and those it refuses, time-outs, at most
// N requests at once, and cancelled requests that never call back.
#include <QTcpServer>
#include <QtTest>

#include "core/httpget.h"
#include "tests/support/pageserver.h"

using melorin::core::GetAnswer;
using melorin::core::GetFailure;
using melorin::core::HttpGet;
using melorin::core::HttpGetOptions;
using melorin::testing::PageServer;

Q_DECLARE_METATYPE(GetFailure)

namespace {

constexpr const char* kAgent = "Melorin/9.9 (+https://melorin.invalid/)";

HttpGetOptions quickOptions() {
    HttpGetOptions o;
    o.userAgent = kAgent;
    o.stallTimeout = std::chrono::milliseconds(400);
    o.totalTimeout = std::chrono::milliseconds(5000);
    o.maxBodyBytes = 4096;
    return o;
}

// The routes every case below asks for.
PageServer::Answer route(const QByteArray& target, const QString& self) {
    using A = PageServer::Answer;
    if (target == "/text") return A{200, "月下听风", "text/plain; charset=utf-8"};
    if (target == "/missing") return A{404, "not here"};
    if (target == "/hop") return A{302, "", "text/plain", false, {"Location: /text"}};
    if (target == "/loop") return A{302, "", "text/plain", false, {"Location: /loop"}};
    if (target == "/to-file")
        return A{302, "", "text/plain", false, {"Location: file:///etc/passwd"}};
    if (target == "/to-self") {
        return A{302, "", "text/plain", false, {"Location: " + self.toLatin1() + "/text"}};
    }
    if (target == "/stall") return A{200, "a", "text/plain", true};
    if (target == "/large") return A{200, QByteArray(8192, 'x'), "text/plain"};
    if (target.startsWith("/slow")) return A{200, target, "text/plain", false, {}, 150};
    return A{404, ""};
}

GetAnswer fetch(HttpGet& http, const std::string& address) {
    GetAnswer answer;
    bool done = false;
    bool insideGet = true;
    bool calledInsideGet = false;
    http.get(address, [&](const GetAnswer& a) {
        calledInsideGet = insideGet;
        answer = a;
        done = true;
    });
    insideGet = false;
    if (!QTest::qWaitFor([&] { return done; }, 10000)) answer.reason = "no callback";
    if (calledInsideGet) answer.reason = "called back inside get()";
    return answer;
}

}  // namespace

class TestHttpGet : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void answers_data();
    void answers();
    void unreachableServer();
    void atMostNAtOnce();
    void cancelledRequestsStaySilent();
    void progressComesBeforeTheAnswer();

private:
    std::unique_ptr<PageServer> server_;
};

void TestHttpGet::initTestCase() {
    server_ = std::make_unique<PageServer>(
        [this](const QByteArray& target) { return route(target, server_->url("")); });
    QVERIFY(server_->listening());
}

void TestHttpGet::answers_data() {
    QTest::addColumn<QString>("address");  // a path on the server, or a whole address
    QTest::addColumn<GetFailure>("failure");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("finalPath");

    QTest::newRow("text") << "/text" << GetFailure::None << 200 << QByteArray("月下听风")
                          << "/text";
    QTest::newRow("404 keeps its body")
        << "/missing" << GetFailure::HttpStatus << 404 << QByteArray("not here") << "/missing";
    QTest::newRow("redirect followed")
        << "/hop" << GetFailure::None << 200 << QByteArray("月下听风") << "/text";
    QTest::newRow("absolute redirect")
        << "/to-self" << GetFailure::None << 200 << QByteArray("月下听风") << "/text";
    QTest::newRow("redirect to a file refused")
        << "/to-file" << GetFailure::Refused << 302 << QByteArray() << "";
    QTest::newRow("endless redirects") << "/loop" << GetFailure::Broken << -1 << QByteArray() << "";
    QTest::newRow("stalled body times out")
        << "/stall" << GetFailure::TimedOut << 200 << QByteArray() << "";
    QTest::newRow("too large") << "/large" << GetFailure::TooLarge << 200 << QByteArray() << "";
    QTest::newRow("not a web address")
        << "file:///etc/passwd" << GetFailure::Refused << 0 << QByteArray() << "";
    QTest::newRow("no address") << "" << GetFailure::Refused << 0 << QByteArray() << "";
}

void TestHttpGet::answers() {
    QFETCH(QString, address);
    QFETCH(GetFailure, failure);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, finalPath);
    HttpGet http(quickOptions());
    const qsizetype before = server_->heads.size();
    const std::string full =
        (address.startsWith(u'/') ? server_->url("") + address : address).toStdString();
    const GetAnswer a = fetch(http, full);
    QVERIFY2(a.reason != "no callback" && a.reason != "called back inside get()", a.reason.c_str());
    QCOMPARE(a.failure, failure);
    if (status >= 0) QCOMPARE(a.status, status);  // -1: whatever Qt reports last
    if (failure == GetFailure::None || failure == GetFailure::HttpStatus) {
        QCOMPARE(QByteArray::fromStdString(a.body), body);
        QCOMPARE(QString::fromStdString(a.finalAddress), server_->url("") + finalPath);
    } else {
        QVERIFY(!a.reason.empty());
    }
    // Every request that reached the server named the client.
    for (qsizetype i = before; i < server_->heads.size(); ++i) {
        QVERIFY2(server_->heads[i].contains(QByteArray("\r\nUser-Agent: ") + kAgent + "\r\n"),
                 server_->heads[i].constData());
    }
}

void TestHttpGet::unreachableServer() {
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    HttpGet http(quickOptions());
    const GetAnswer a = fetch(http, "http://127.0.0.1:" + std::to_string(port) + "/x");
    QCOMPARE(a.failure, GetFailure::Unreachable);
}

void TestHttpGet::atMostNAtOnce() {
    HttpGetOptions o = quickOptions();
    o.maxRunning = 3;
    HttpGet http(o);
    server_->mostOpen = 0;
    std::vector<std::string> bodies;
    for (int i = 0; i < 10; ++i) {
        http.get(server_->url("/slow").toStdString() + std::to_string(i),
                 [&bodies](const GetAnswer& a) { bodies.push_back(a.body); });
    }
    QCOMPARE(http.running(), 3);
    QCOMPARE(http.waiting(), 7);
    QTRY_COMPARE_WITH_TIMEOUT(bodies.size(), std::size_t{10}, 10000);
    QCOMPARE(server_->mostOpen, 3);
    // Queued in order, so they start in order; each comes back whole.
    std::sort(bodies.begin(), bodies.end());
    for (int i = 0; i < 10; ++i)
        QCOMPARE(bodies[static_cast<std::size_t>(i)], "/slow" + std::to_string(i));
}

void TestHttpGet::cancelledRequestsStaySilent() {
    HttpGetOptions o = quickOptions();
    o.maxRunning = 1;
    int calls = 0;
    {
        HttpGet http(o);
        const auto running =
            http.get(server_->url("/slow-a").toStdString(), [&](auto&) { ++calls; });
        const auto waiting =
            http.get(server_->url("/slow-b").toStdString(), [&](auto&) { ++calls; });
        http.get(server_->url("/slow-c").toStdString(), [&](auto&) { ++calls; });
        http.cancel(waiting);
        http.cancel(running);  // the third starts in its place
        QCOMPARE(http.running(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 5000);
        http.get(server_->url("/slow-d").toStdString(), [&](auto&) { ++calls; });
        http.get(server_->url("/not-a-web-address-after-all").toStdString().replace(0, 4, "ftp"),
                 [&](auto&) { ++calls; });
        http.cancelAll();
        QCOMPARE(http.running() + http.waiting(), 0);
        // A client that goes with a request open calls nobody back either.
        http.get(server_->url("/slow-e").toStdString(), [&](auto&) { ++calls; });
    }
    QVERIFY(!QTest::qWaitFor([&] { return calls > 1; }, 400));  // fails at a late call back
    QCOMPARE(calls, 1);
}

void TestHttpGet::progressComesBeforeTheAnswer() {
    HttpGet http(quickOptions());
    const std::int64_t length = QByteArray("月下听风").size();
    std::vector<std::pair<std::int64_t, std::int64_t>> seen;
    bool done = false;
    bool afterDone = false;
    http.get(
        server_->url("/text").toStdString(), [&](const GetAnswer&) { done = true; },
        [&](std::int64_t received, std::int64_t total) {
            afterDone = afterDone || done;
            seen.emplace_back(received, total);
        });
    QTRY_VERIFY_WITH_TIMEOUT(done, 5000);
    QVERIFY(!afterDone);
    QVERIFY(!seen.empty());
    QCOMPARE(seen.back(), std::make_pair(length, length));
}

QTEST_GUILESS_MAIN(TestHttpGet)
#include "test_httpget.moc"
