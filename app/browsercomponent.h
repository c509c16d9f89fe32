#pragma once
// The embedded browser component as the window uses it: a place on the window, asynchronous
// loading of one page at a time, and the loaded document read back as text and links.
//
// Promises of every implementation: after every load that ends (well or not) it emits
// DocumentComplete; Document() is absent before the first load and after a load that got no
// answer (refused, unreachable, timed out). A server's error page (404, 500) is a document like
// any other. A load ended by Stop(), or replaced by a newer Navigate(), reports nothing.
// isLoading() holds from Navigate() until the load ends. ProgressChange reports the load's
// progress out of its maximum.
#include <QObject>
#include <QString>
#include <QUrl>
#include <optional>

#include "core/htmlpage.h"

class QWidget;

namespace melorin {

using core::PageDocument;
using core::PageLink;

class BrowserComponent : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The browser's place on the window (bounds, visibility).
    [[nodiscard]] virtual QWidget* view() const = 0;
    virtual void Navigate(const QUrl& address) = 0;
    // An absolute local path is a local file; anything else an address.
    void Navigate(const QString& address);
    virtual void Stop() = 0;

    void setVisible(bool visible);
    [[nodiscard]] bool isVisible() const;
    [[nodiscard]] const PageDocument* Document() const { return document_ ? &*document_ : nullptr; }
    [[nodiscard]] bool isLoading() const { return loading_; }

signals:
    void DocumentComplete();
    void ProgressChange(int progress, int maximum);

protected:
    std::optional<PageDocument> document_;
    bool loading_ = false;
};

}  // namespace melorin
