#pragma once

// A small HTTP/1.1 server on 127.0.0.1 for window tests: every request's target goes to a
// handler that decides the answer (status, headers, body, or a body that never ends, at once
// or after a delay). It records the targets and the request heads in the order they arrived,
// and how many requests it held open at once.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <functional>

namespace melorin::testing {

class PageServer : public QObject {
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/html; charset=gbk";
        bool neverEnds = false;          // announces a long body and sends only its start
        QList<QByteArray> headers = {};  // further header lines ("Location: …")
        int delayMs = 0;                 // the answer waits this long
    };
    using Handler = std::function<Answer(const QByteArray& target)>;

    explicit PageServer(Handler handler) : handler_(std::move(handler)) {
        server_.listen(QHostAddress::LocalHost);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] { read(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }

    [[nodiscard]] bool listening() const { return server_.isListening(); }
    [[nodiscard]] QString host() const {
        return QStringLiteral("127.0.0.1:%1").arg(server_.serverPort());
    }
    [[nodiscard]] QString url(const char* path) const {
        return QStringLiteral("http://") + host() + QLatin1String(path);
    }
    // Request targets ("/path?query") and whole request heads, in arrival order.
    QList<QByteArray> targets;
    QList<QByteArray> heads;
    int mostOpen = 0;  // requests received and not yet answered, at most

private:
    void read(QTcpSocket* s) {
        QByteArray& pending = buffers_[s];
        pending += s->readAll();
        const qsizetype end = pending.indexOf("\r\n\r\n");
        if (end < 0) return;
        const QList<QByteArray> requestLine = pending.left(pending.indexOf("\r\n")).split(' ');
        heads << pending.left(end);
        buffers_.remove(s);
        const QByteArray target = requestLine.value(1);
        targets << target;
        const Answer a = handler_(target);
        mostOpen = std::max(mostOpen, ++open_);
        if (a.delayMs > 0) {
            QTimer::singleShot(a.delayMs, s, [this, s, a] { answer(s, a); });
        } else {
            answer(s, a);
        }
    }

    void answer(QTcpSocket* s, const Answer& a) {
        --open_;
        const QByteArray reason = a.status == 200 ? "OK" : "Status";
        s->write("HTTP/1.1 " + QByteArray::number(a.status) + ' ' + reason + "\r\n");
        s->write("Content-Type: " + a.contentType + "\r\n");
        for (const QByteArray& h : a.headers) s->write(h + "\r\n");
        if (a.neverEnds) {
            s->write("Content-Length: 1000000\r\n\r\n" + a.body);
            return;
        }
        s->write("Content-Length: " + QByteArray::number(a.body.size()) +
                 "\r\nConnection: close\r\n\r\n" + a.body);
        s->disconnectFromHost();
    }

    Handler handler_;
    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> buffers_;
    int open_ = 0;
};

}  // namespace melorin::testing
