#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVector>
#include <QWebEngineLoadingInfo>
#include <QWebEngineView>
#include <functional>
#include <optional>
#include <vector>

class QWebEngineProfile;
class QWidget;

namespace melorin {
namespace ui {
class UiPort;
}

struct PageLink {
    QString href;       // absolute address
    QString innerText;  // the link's visible text
};

// What the window reads back from a loaded page.
struct PageDocument {
    QUrl url;
    QString bodyText;         // visible text of the body, blocks separated by line breaks
    QVector<PageLink> links;  // in document order
};

// The embedded browser component: one page view with asynchronous loading. After every load
// that ends (well or not) it emits DocumentComplete; Document() is absent before the first load
// and after a load that got no answer (refused, unreachable, timed out). A server's error page
// (404, 500) is a document like any other. A load ended by Stop(), or replaced by a newer
// Navigate(), reports nothing. isLoading() holds from Navigate() until the load ends.
class WebBrowser : public QObject {
    Q_OBJECT
public:
    WebBrowser(QWidget* parent, const QString& objectName, ui::UiPort& ui);
    ~WebBrowser() override;

    // The browser's place on the window (bounds, visibility). The engine's view fills it once
    // the first page loads; until then no engine runs for this browser.
    [[nodiscard]] QWidget* view() const { return host_; }
    // Null until the first Navigate().
    [[nodiscard]] QWebEngineView* engineView() const { return view_; }

    // Each runs once, when the engine starts, before its first page loads: what every page of
    // this browser needs from the start (scripts, channels, settings) is set up here.
    void addPageSetUp(std::function<void(QWebEnginePage&)> setUp) {
        pageSetUps_.push_back(std::move(setUp));
    }

    // The pages' zoom, kept for the engine that starts later (1: as the pages ask).
    void setZoomFactor(qreal factor);
    [[nodiscard]] qreal zoomFactor() const { return zoomFactor_; }

    void Navigate(const QUrl& address);
    void Navigate(const QString& address);
    void setVisible(bool visible);
    [[nodiscard]] bool isVisible() const;
    void Stop();
    [[nodiscard]] const PageDocument* Document() const { return document_ ? &*document_ : nullptr; }
    [[nodiscard]] bool isLoading() const { return loading_; }
    // Asks for a file name through the port, then saves the loaded page there. False when the
    // user cancelled or nothing is loaded.
    bool SaveAs();

signals:
    void DocumentComplete();
    void ProgressChange(int progress, int maximum);

private:
    // All browsers share one profile, kept in memory.
    static QWebEngineProfile* sharedProfile();
    QWebEngineView* startEngine();
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void takeSnapshot(quint64 serial, const QUrl& url, const QVariant& snapshot);

    QPointer<QWidget> host_;
    QPointer<QWebEngineView> view_;
    ui::UiPort& ui_;
    std::optional<PageDocument> document_;
    bool loading_ = false;
    bool stopRequested_ = false;
    quint64 loadSerial_ = 0;  // drops the answer of a snapshot that a newer load overtook
    bool destroying_ = false;
    qreal zoomFactor_ = 1.0;
    std::vector<std::function<void(QWebEnginePage&)>> pageSetUps_;
};

}  // namespace melorin
