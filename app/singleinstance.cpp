#include "app/singleinstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QThread>

namespace melorin {
namespace {

constexpr int kConnectMs = 1000;
constexpr int kAttempts = 20;
constexpr QByteArrayView kRequest = "front\n";

}  // namespace

QString instanceName(const QString& programDir) {
    const QByteArray folder = QDir::cleanPath(QDir(programDir).absolutePath()).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(folder, QCryptographicHash::Sha256).toHex();
    return QStringLiteral("melorin-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash.left(32)));
}

SingleInstance::SingleInstance(const QString& programDir, QObject* parent)
    : QObject(parent), name_(instanceName(programDir)) {
    server_.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_.nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (s->readAll().contains(kRequest.data())) emit anotherStart();
                s->disconnectFromServer();
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
}

bool SingleInstance::askRunning() {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kConnectMs)) return false;
    socket.write(kRequest.data(), kRequest.size());
    const bool sent = socket.waitForBytesWritten(kConnectMs);
    // The running program answers by closing; waiting for it means the request was read.
    socket.waitForDisconnected(kConnectMs);
    return sent;
}

SingleInstance::Claim SingleInstance::claim() {
    // Two starts at once: one of them listens first, the other finds it on its next try.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (askRunning()) return Claim::AlreadyRuns;
        if (server_.listen(name_)) return Claim::First;
        QThread::msleep(50);
    }
    return Claim::Unsure;
}

}  // namespace melorin
