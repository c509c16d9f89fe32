#include "tests/support/servicerun.h"

#include <sys/prctl.h>

#include <QElapsedTimer>
#include <QTcpSocket>
#include <csignal>

using namespace Qt::StringLiterals;

namespace melorin::testing {

QString serviceBinary() {
    return QStringLiteral(MELORIN_SERVICE_BIN);
}

QByteArray RawAnswer::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) return value;
    }
    return {};
}

bool RawAnswer::hasHeader(const QByteArray& name) const {
    for (const auto& h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

ServiceRun::~ServiceRun() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
}

bool ServiceRun::start(const QStringList& extraArgs) {
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    // A test that crashes runs no destructor; the service then ends with it instead of lingering.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(serviceBinary(), QStringList{u"--port"_s, u"0"_s} + extraArgs);
    if (!process_.waitForStarted(5000)) {
        error_ = u"cannot start "_s + serviceBinary();
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (!process_.canReadLine() && timer.elapsed() < 5000) process_.waitForReadyRead(200);
    const QByteArray line = process_.readLine().trimmed();
    const QByteArray prefix = "listening on 127.0.0.1:";
    if (!line.startsWith(prefix)) {
        error_ = u"unexpected first line: "_s + QString::fromLatin1(line) +
                 QString::fromLocal8Bit(process_.readAllStandardError());
        return false;
    }
    port_ = static_cast<quint16>(line.mid(prefix.size()).toUInt());
    return port_ != 0;
}

namespace {

// Removes chunked framing; false when the last chunk never came.
bool dechunk(const QByteArray& raw, QByteArray& out) {
    qsizetype at = 0;
    while (true) {
        const qsizetype eol = raw.indexOf("\r\n", at);
        if (eol < 0) return false;
        bool ok = false;
        const qsizetype n = raw.mid(at, eol - at).split(';').first().trimmed().toLongLong(&ok, 16);
        if (!ok) return false;
        at = eol + 2;
        if (n == 0) return true;
        if (raw.size() < at + n) {
            out += raw.mid(at);
            return false;
        }
        out += raw.mid(at, n);
        at += n + 2;
    }
}

}  // namespace

RawAnswer ServiceRun::get(const QByteArray& target, const QList<QByteArray>& extraHeaders,
                          int timeoutMs) const {
    RawAnswer answer;
    QElapsedTimer timer;
    timer.start();
    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, port_);
    if (!socket.waitForConnected(3000)) return answer;
    QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: " + host() + "\r\n";
    for (const QByteArray& h : extraHeaders) request += h + "\r\n";
    request += "Connection: close\r\n\r\n";
    socket.write(request);
    QByteArray raw;
    while (timer.elapsed() < timeoutMs) {
        if (socket.waitForReadyRead(100)) raw += socket.readAll();
        if (socket.state() != QAbstractSocket::ConnectedState) break;
    }
    raw += socket.readAll();
    answer.elapsedMs = timer.elapsed();

    const qsizetype headEnd = raw.indexOf("\r\n\r\n");
    if (headEnd < 0) return answer;
    const QList<QByteArray> lines = raw.left(headEnd).split('\n');
    answer.status = lines.value(0).split(' ').value(1).toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            answer.headers.append(
                {lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
    }
    const QByteArray rest = raw.mid(headEnd + 4);
    answer.chunked = answer.header("Transfer-Encoding").toLower() == "chunked";
    if (answer.chunked) {
        answer.complete = dechunk(rest, answer.body);
    } else {
        answer.body = rest;
        answer.complete = !answer.hasHeader("Content-Length") ||
                          rest.size() >= answer.header("Content-Length").toLongLong();
    }
    return answer;
}

}  // namespace melorin::testing
