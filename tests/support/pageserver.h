#pragma once

// A small HTTP/1.1 server on 127.0.0.1 for window tests: every request's target goes to a
// handler that decides the answer (status, body, or a body that never ends). It records the
// targets in the order they arrived.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

namespace melorin::testing {

class PageServer : public QObject {
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/html; charset=gbk";
        bool neverEnds = false;  // announces a long body and sends only its start
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
    // Request targets ("/path?query") in arrival order.
    QList<QByteArray> targets;

private:
    void read(QTcpSocket* s) {
        QByteArray& pending = buffers_[s];
        pending += s->readAll();
        const qsizetype end = pending.indexOf("\r\n\r\n");
        if (end < 0) return;
        const QList<QByteArray> requestLine = pending.left(pending.indexOf("\r\n")).split(' ');
        buffers_.remove(s);
        const QByteArray target = requestLine.value(1);
        targets << target;
        const Answer a = handler_(target);
        const QByteArray reason = a.status == 200 ? "OK" : "Status";
        s->write("HTTP/1.1 " + QByteArray::number(a.status) + ' ' + reason + "\r\n");
        s->write("Content-Type: " + a.contentType + "\r\n");
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
};

}  // namespace melorin::testing
