#include "app/fetchingbrowser.h"

#include <QWidget>
#include <cstdio>

namespace melorin {
namespace {

// Result and list pages are tens of kilobytes; a page far past that is no page to read.
constexpr std::int64_t kMaxPageBytes = std::int64_t{8} << 20;

// Progress as a browser reports it: a little at the request, the body's share as it arrives,
// all of it once the page is read.
constexpr int kRequested = 10;
constexpr int kBodyShare = 80;

}  // namespace

FetchingBrowser::FetchingBrowser(QWidget* parent, const QString& objectName,
                                 const std::string& userAgent)
    : BrowserComponent(parent), place_(new QWidget(parent)) {
    setObjectName(objectName);
    place_->setObjectName(objectName);
    core::HttpGetOptions options;
    options.userAgent = userAgent;
    options.maxRunning = 1;
    options.maxBodyBytes = kMaxPageBytes;
    http_ = std::make_unique<core::HttpGet>(options);
}

FetchingBrowser::~FetchingBrowser() = default;

void FetchingBrowser::Navigate(const QUrl& address) {
    if (ticket_) http_->cancel(*ticket_);
    loading_ = true;
    emit ProgressChange(kRequested, 100);
    ticket_ = http_->get(
        address.toEncoded().toStdString(),
        [this, address](const core::GetAnswer& answer) { arrived(address, answer); },
        [this](std::int64_t received, std::int64_t total) {
            if (total <= 0) return;
            emit ProgressChange(kRequested + static_cast<int>(kBodyShare * received / total), 100);
        });
}

void FetchingBrowser::Stop() {
    if (ticket_) http_->cancel(*ticket_);
    ticket_.reset();
    loading_ = false;
}

void FetchingBrowser::arrived(const QUrl& requested, const core::GetAnswer& answer) {
    ticket_.reset();
    loading_ = false;
    // A server's error answer still brings its page; only no answer at all leaves none.
    if (answer.ok() || answer.failure == core::GetFailure::HttpStatus) {
        const QUrl from = answer.finalAddress.empty()
                              ? requested
                              : QUrl::fromEncoded(QByteArray::fromStdString(answer.finalAddress));
        document_ = core::readPage(QByteArray::fromStdString(answer.body),
                                   QByteArray::fromStdString(answer.contentType), from);
    } else {
        std::fprintf(stderr, "melorin: %s: %s\n", requested.toEncoded().constData(),
                     answer.reason.c_str());
        document_.reset();
    }
    emit ProgressChange(100, 100);
    emit DocumentComplete();
}

}  // namespace melorin
