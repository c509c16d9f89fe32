#pragma once

#include <QPointer>
#include <memory>
#include <optional>
#include <string>

#include "app/browsercomponent.h"
#include "core/httpget.h"

class QWidget;

namespace melorin {

// The browser component for pages nobody sees (WebBrowser1 and WebBrowser2): it fetches a page
// with the program's own HTTP client and reads its text and links as a browser would
// (core/htmlpage.h), with no browser engine and nothing drawn. Its place on the window is an
// empty widget. Only http and https addresses load; anything else ends without a document.
class FetchingBrowser : public BrowserComponent {
    Q_OBJECT
public:
    FetchingBrowser(QWidget* parent, const QString& objectName, const std::string& userAgent);
    ~FetchingBrowser() override;

    [[nodiscard]] QWidget* view() const override { return place_; }
    using BrowserComponent::Navigate;
    void Navigate(const QUrl& address) override;
    void Stop() override;

private:
    void arrived(const QUrl& requested, const core::GetAnswer& answer);

    QPointer<QWidget> place_;
    std::unique_ptr<core::HttpGet> http_;
    std::optional<core::HttpGet::Ticket> ticket_;
};

}  // namespace melorin
