#include "core/httpget.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <map>

namespace melorin::core {

namespace {

bool isWebScheme(const QUrl& url) {
    const QString s = url.scheme().toLower();
    return s == QStringLiteral("http") || s == QStringLiteral("https");
}

GetFailure failureOf(QNetworkReply::NetworkError error) {
    switch (error) {
        case QNetworkReply::NoError:
            return GetFailure::None;
        case QNetworkReply::ConnectionRefusedError:
        case QNetworkReply::HostNotFoundError:
        case QNetworkReply::TemporaryNetworkFailureError:
        case QNetworkReply::NetworkSessionFailedError:
        case QNetworkReply::UnknownNetworkError:
        case QNetworkReply::ProxyConnectionRefusedError:
        case QNetworkReply::ProxyNotFoundError:
            return GetFailure::Unreachable;
        case QNetworkReply::TimeoutError:
        case QNetworkReply::ProxyTimeoutError:
            return GetFailure::TimedOut;
        case QNetworkReply::InsecureRedirectError:
        case QNetworkReply::ProtocolUnknownError:
            return GetFailure::Refused;
        default:
            return GetFailure::Broken;
    }
}

}  // namespace

struct HttpGet::Impl {
    struct Pending {
        Ticket ticket;
        std::string address;
        Done done;
        Progress progress;
    };
    // Why our own side ended a running request.
    enum class Ended { No, Stalled, TookTooLong, TooLarge, Refused };
    struct Running {
        QNetworkReply* reply = nullptr;
        Done done;
        QTimer* stall = nullptr;
        QTimer* total = nullptr;
        Ended ended = Ended::No;
    };

    explicit Impl(HttpGetOptions o) : options(std::move(o)) {
        if (options.maxRunning < 1) options.maxRunning = 1;
    }

    HttpGetOptions options;
    QObject context;  // owns the timers; every connection ends with it
    QNetworkAccessManager network;
    std::deque<Pending> waiting;
    std::map<Ticket, Running> running;
    Ticket lastTicket = 0;

    void startWaiting() {
        while (static_cast<int>(running.size()) < options.maxRunning && !waiting.empty()) {
            Pending p = std::move(waiting.front());
            waiting.pop_front();
            start(std::move(p));
        }
    }

    // Ends a request that never reached the network, from the event loop.
    void endLater(Ticket ticket, Done done, GetAnswer answer) {
        running[ticket] = Running{nullptr, std::move(done), nullptr, nullptr, Ended::No};
        QTimer::singleShot(0, &context, [this, ticket, answer = std::move(answer)] {
            const auto it = running.find(ticket);
            if (it == running.end()) return;  // cancelled meanwhile
            Done done = std::move(it->second.done);
            running.erase(it);
            startWaiting();
            done(answer);
        });
    }

    void start(Pending p) {
        const QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(p.address), QUrl::StrictMode);
        if (!url.isValid() || !isWebScheme(url) || url.host().isEmpty()) {
            GetAnswer a;
            a.failure = GetFailure::Refused;
            a.reason = "not a web address: " + p.address;
            endLater(p.ticket, std::move(p.done), std::move(a));
            return;
        }
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::UserAgentHeader,
                          QString::fromStdString(options.userAgent));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::UserVerifiedRedirectPolicy);
        request.setMaximumRedirectsAllowed(options.maxRedirects);
        QNetworkReply* reply = network.get(request);
        const Ticket ticket = p.ticket;
        Running r{reply, std::move(p.done), new QTimer(&context), new QTimer(&context), Ended::No};
        r.stall->setSingleShot(true);
        r.total->setSingleShot(true);
        QObject::connect(r.stall, &QTimer::timeout, &context,
                         [this, ticket] { endOwn(ticket, Ended::Stalled); });
        QObject::connect(r.total, &QTimer::timeout, &context,
                         [this, ticket] { endOwn(ticket, Ended::TookTooLong); });
        r.stall->start(options.stallTimeout);
        r.total->start(options.totalTimeout);
        QTimer* stall = r.stall;
        running.emplace(ticket, std::move(r));

        QObject::connect(
            reply, &QNetworkReply::redirected, &context, [this, ticket, reply](const QUrl& to) {
                const bool lowered = reply->url().scheme().toLower() == QStringLiteral("https") &&
                                     to.scheme().toLower() != QStringLiteral("https");
                if (!isWebScheme(to) || lowered) {
                    endOwn(ticket, Ended::Refused);
                    return;
                }
                emit reply->redirectAllowed();
            });
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &context,
                         [stall, this] { stall->start(options.stallTimeout); });
        QObject::connect(
            reply, &QNetworkReply::downloadProgress, &context,
            [this, ticket, stall, progress = std::move(p.progress)](qint64 received, qint64 total) {
                stall->start(options.stallTimeout);
                if (received > options.maxBodyBytes) {
                    endOwn(ticket, Ended::TooLarge);
                    return;
                }
                if (progress) progress(received, total);
            });
        QObject::connect(reply, &QNetworkReply::finished, &context,
                         [this, ticket] { finish(ticket); });
    }

    // Our side ends the request; finished() then reports it.
    void endOwn(Ticket ticket, Ended why) {
        const auto it = running.find(ticket);
        if (it == running.end() || it->second.reply == nullptr) return;
        if (it->second.ended == Ended::No) it->second.ended = why;
        it->second.reply->abort();
    }

    void finish(Ticket ticket) {
        const auto it = running.find(ticket);
        if (it == running.end()) return;
        Running r = std::move(it->second);
        running.erase(it);
        r.stall->deleteLater();
        r.total->deleteLater();
        QNetworkReply* reply = r.reply;
        reply->deleteLater();
        QObject::disconnect(reply, nullptr, &context, nullptr);

        GetAnswer a;
        a.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        a.finalAddress = reply->url().toEncoded().toStdString();
        a.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString().toStdString();
        switch (r.ended) {
            case Ended::Stalled:
            case Ended::TookTooLong:
                a.failure = GetFailure::TimedOut;
                a.reason = "no answer in time";
                break;
            case Ended::TooLarge:
                a.failure = GetFailure::TooLarge;
                a.reason = "the answer is too large";
                break;
            case Ended::Refused:
                a.failure = GetFailure::Refused;
                a.reason = "a redirect to an address that is not followed";
                break;
            case Ended::No:
                break;
        }
        if (r.ended == Ended::No) {
            const QByteArray body = reply->readAll();
            a.body.assign(body.constData(), static_cast<std::size_t>(body.size()));
            if (a.status >= 400) {
                a.failure = GetFailure::HttpStatus;
                a.reason = "HTTP " + std::to_string(a.status);
            } else if (reply->error() != QNetworkReply::NoError) {
                a.failure = failureOf(reply->error());
                a.reason = reply->errorString().toStdString();
            } else if (a.status < 200 || a.status >= 300) {
                // Qt ends a chain of redirects it stopped following without an error.
                a.failure = GetFailure::Broken;
                a.reason = "no answer after redirects (HTTP " + std::to_string(a.status) + ")";
                a.body.clear();
            } else if (static_cast<std::int64_t>(a.body.size()) > options.maxBodyBytes) {
                a.failure = GetFailure::TooLarge;
                a.reason = "the answer is too large";
                a.body.clear();
            }
        }
        startWaiting();
        r.done(a);
    }

    void drop(Running& r) {
        if (r.reply == nullptr) return;  // ends from the event loop, where it finds nothing
        QObject::disconnect(r.reply, nullptr, &context, nullptr);
        r.reply->abort();
        r.reply->deleteLater();
        r.stall->deleteLater();
        r.total->deleteLater();
    }
};

HttpGet::HttpGet(HttpGetOptions options) : d_(std::make_unique<Impl>(std::move(options))) {}

HttpGet::~HttpGet() {
    cancelAll();
}

HttpGet::Ticket HttpGet::get(const std::string& address, Done done, Progress progress) {
    const Ticket ticket = ++d_->lastTicket;
    d_->waiting.push_back({ticket, address, std::move(done), std::move(progress)});
    d_->startWaiting();
    return ticket;
}

void HttpGet::cancel(Ticket ticket) {
    std::erase_if(d_->waiting, [ticket](const Impl::Pending& p) { return p.ticket == ticket; });
    const auto it = d_->running.find(ticket);
    if (it == d_->running.end()) return;
    Impl::Running r = std::move(it->second);
    d_->running.erase(it);
    d_->drop(r);
    d_->startWaiting();
}

void HttpGet::cancelAll() {
    d_->waiting.clear();
    auto running = std::move(d_->running);
    d_->running.clear();
    for (auto& [ticket, r] : running) d_->drop(r);
}

int HttpGet::running() const {
    return static_cast<int>(d_->running.size());
}

int HttpGet::waiting() const {
    return static_cast<int>(d_->waiting.size());
}

const HttpGetOptions& HttpGet::options() const {
    return d_->options;
}

}  // namespace melorin::core
