#pragma once

#include <QPointer>
#include <QWebEngineLoadingInfo>
#include <QWebEngineView>
#include <functional>
#include <vector>

#include "app/browsercomponent.h"

class QWebEngineProfile;
class QWidget;

namespace melorin {
namespace ui {
class UiPort;
}

// The browser component that shows its pages: a view of the browser engine, for the player
// pages (WebBrowser3) and the card preview (WebBrowser4). Every such browser renders in one
// profile and one renderer process, started with the first page shown.
class WebBrowser : public BrowserComponent {
    Q_OBJECT
public:
    WebBrowser(QWidget* parent, const QString& objectName, ui::UiPort& ui);
    ~WebBrowser() override;

    // The browser's place on the window (bounds, visibility). The engine's view fills it once
    // the first page loads; until then no engine runs for this browser.
    [[nodiscard]] QWidget* view() const override { return host_; }
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

    using BrowserComponent::Navigate;
    void Navigate(const QUrl& address) override;
    void Stop() override;
    // Asks for a file name through the port, then saves the loaded page there. False when the
    // user cancelled or nothing is loaded.
    bool SaveAs();

private:
    // All browsers share one profile, kept in memory.
    static QWebEngineProfile* sharedProfile();
    QWebEngineView* startEngine();
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void takeSnapshot(quint64 serial, const QUrl& url, const QVariant& snapshot);

    QPointer<QWidget> host_;
    QPointer<QWebEngineView> view_;
    ui::UiPort& ui_;
    bool stopRequested_ = false;
    quint64 loadSerial_ = 0;  // drops the answer of a snapshot that a newer load overtook
    bool destroying_ = false;
    qreal zoomFactor_ = 1.0;
    std::vector<std::function<void(QWebEnginePage&)>> pageSetUps_;
};

}  // namespace melorin
