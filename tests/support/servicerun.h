// Test side of the demo service: starts build/bin/melorin-service on a free port and talks
// raw HTTP/1.1 to it, so every byte the service sends (also past a cut or an announced
// length) is seen as it is.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>

namespace melorin::testing {

// One answer as it came over the wire. `complete` is false when the connection ended before
// the announced body did.
struct RawAnswer {
    int status = 0;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;  // de-chunked when the answer was chunked
    bool chunked = false;
    bool complete = false;
    qint64 elapsedMs = 0;

    QByteArray header(const QByteArray& name) const;  // case-insensitive; empty when absent
    bool hasHeader(const QByteArray& name) const;
};

class ServiceRun {
public:
    ServiceRun() = default;
    ~ServiceRun();
    ServiceRun(const ServiceRun&) = delete;
    ServiceRun& operator=(const ServiceRun&) = delete;

    // Starts the service with `--port 0` and `extraArgs`; false (with a message in error())
    // when it does not report its port within a few seconds.
    bool start(const QStringList& extraArgs = {});
    quint16 port() const { return port_; }
    QByteArray host() const { return "127.0.0.1:" + QByteArray::number(port_); }
    QString error() const { return error_; }

    // Sends "GET target HTTP/1.1" with Host and Connection: close plus `extraHeaders` (each
    // "Name: value") and reads until the server closes, at most `timeoutMs`.
    RawAnswer get(const QByteArray& target, const QList<QByteArray>& extraHeaders = {},
                  int timeoutMs = 5000) const;

private:
    QProcess process_;
    quint16 port_ = 0;
    QString error_;
};

QString serviceBinary();

}  // namespace melorin::testing
