#pragma once
// A one-file HTTP server for the player tests: answers GET for the bodies it was given, 404
// for anything else, and closes every connection after one answer.
#include <QByteArray>
#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>

namespace melorin::testing {

class TinyHttp : public QTcpServer {
public:
    TinyHttp() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] { answer(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        listen(QHostAddress::LocalHost);
    }
    void serve(const QByteArray& path, const QByteArray& type, const QByteArray& body) {
        files_.insert(path, {type, body});
    }
    QByteArray base() const { return "http://127.0.0.1:" + QByteArray::number(serverPort()); }

private:
    void answer(QTcpSocket* s) {
        QByteArray& got = pending_[s];
        got += s->readAll();
        if (!got.contains("\r\n\r\n")) return;
        const QByteArray path = got.split(' ').value(1);
        pending_.remove(s);
        const auto it = files_.constFind(path);
        const bool found = it != files_.constEnd();
        const QByteArray body = found ? it->second : QByteArray("not here");
        s->write((found ? "HTTP/1.1 200 OK\r\nContent-Type: " + it->first
                        : QByteArray("HTTP/1.1 404 Not Found\r\nContent-Type: text/plain")) +
                 "\r\nContent-Length: " + QByteArray::number(body.size()) +
                 "\r\nConnection: close\r\n\r\n" + body);
        s->disconnectFromHost();
    }

    QHash<QByteArray, std::pair<QByteArray, QByteArray>> files_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

}  // namespace melorin::testing
