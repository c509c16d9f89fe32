#include "app/webbrowser.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QOpenGLContext>
#include <QOpenGLWidget>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <utility>

#include "ui/uiport.h"

namespace melorin {
namespace {

// Runs in an isolated world, so page scripts cannot change what the window reads.
const QString kSnapshotScript = QStringLiteral(
    "(function(){var b=document.body;var out={text:b?b.innerText:'',links:[]};"
    "var l=document.links;for(var i=0;i<l.length;i++){out.links.push([String(l[i].href),"
    "String(l[i].innerText||'')]);}return out;})()");

// The engine shows only the program's own small pages (the player pages, the card preview).
// One renderer process serves them all: each further one costs some 100 MB. The engine reads
// its flags once, when it starts; flags the user gave win. (Compositing on the renderer's main
// thread, --disable-threaded-compositing, looked cheaper only because the pages then never
// reach the screen.)
void setEngineFlags() {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const std::pair<const char*, const char*> ours[] = {
        {"--renderer-process-limit=1", "renderer-process-limit"},
    };
    for (const auto& [flag, subject] : ours) {
        if (flags.contains(subject)) continue;
        if (!flags.isEmpty()) flags += ' ';
        flags += flag;
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

// Whether the engine's views will draw through OpenGL here: a platform without OpenGL (the
// offscreen one of the tests) draws them in software, in the window's own surface. Asked
// once; the window composes through OpenGL from its first frame anyway where it can.
bool gpuComposition() {
    static const bool gpu = [] {
        if (QQuickWindow::graphicsApi() != QSGRendererInterface::OpenGL) return false;
        QOpenGLContext probe;
        return probe.create();
    }();
    return gpu;
}

}  // namespace

QWebEngineProfile* WebBrowser::sharedProfile() {
    // Off the record: nothing of the pages goes to disk. Created with the first engine view
    // and kept until the application ends, after every page.
    static QWebEngineProfile* profile = [] {
        auto* p = new QWebEngineProfile(QCoreApplication::instance());
        p->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        return p;
    }();
    return profile;
}

WebBrowser::WebBrowser(QWidget* parent, const QString& objectName, ui::UiPort& ui)
    : BrowserComponent(parent), host_(new QWidget(parent)), ui_(ui) {
    setObjectName(objectName);
    host_->setObjectName(objectName);
    // White like an empty page until the engine draws one.
    QPalette white = host_->palette();
    white.setColor(QPalette::Window, Qt::white);
    host_->setPalette(white);
    host_->setAutoFillBackground(true);
    // Where the engine's view will draw through OpenGL, the window must know it before it is
    // first shown: a window that learns of such a child once it is on screen replaces its
    // native window (it blinks, and some window managers move it). A hidden stand-in that never
    // draws tells it from the start, without starting the engine.
    if (gpuComposition()) {
        auto* gpuStandIn = new QOpenGLWidget(host_);
        gpuStandIn->setObjectName(QStringLiteral("qt_gpustandin"));
        gpuStandIn->hide();
    }
}

WebBrowser::~WebBrowser() {
    // A page that goes away answers its pending script calls with nothing; those answers must
    // find this object still whole and must not report a document.
    destroying_ = true;
    delete view_.data();
}

QWebEngineView* WebBrowser::startEngine() {
    if (view_) return view_;
    setEngineFlags();
    view_ = new QWebEngineView(host_);
    view_->setObjectName(QStringLiteral("qt_engineview"));  // follows its place, not scaled itself
    view_->setPage(new QWebEnginePage(sharedProfile(), view_));
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    auto* fill = new QVBoxLayout(host_);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(view_);
    connect(view_, &QWebEngineView::loadProgress, this,
            [this](int p) { emit ProgressChange(p, 100); });
    connect(view_->page(), &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) { onLoadingChanged(info); });
    view_->setZoomFactor(zoomFactor_);
    for (const auto& setUp : pageSetUps_) setUp(*view_->page());
    return view_;
}

void WebBrowser::setZoomFactor(qreal factor) {
    zoomFactor_ = factor;
    if (view_) view_->setZoomFactor(factor);
}

void WebBrowser::Navigate(const QUrl& address) {
    stopRequested_ = false;
    loading_ = true;  // busy from the request on, not only once the engine has started
    startEngine()->setUrl(address);
}

void WebBrowser::Stop() {
    // A navigation the engine has not begun yet may end without any report, so the browser is
    // idle from here on; a load that still goes ahead says so when it starts.
    if (loading_) stopRequested_ = true;
    loading_ = false;
    if (view_) view_->stop();
}

void WebBrowser::onLoadingChanged(const QWebEngineLoadingInfo& info) {
    switch (info.status()) {
        case QWebEngineLoadingInfo::LoadStartedStatus:
            loading_ = true;
            return;
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            // Either Stop() or a newer navigation replaced this one: nothing completed.
            if (stopRequested_) {
                stopRequested_ = false;
                loading_ = false;
            }
            return;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            // An error status still came with a page (a 404 or 500 with its body): it is read
            // like any other. Only a load that got no answer at all leaves no document.
            if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) break;
            loading_ = false;
            ++loadSerial_;
            document_.reset();
            emit DocumentComplete();
            return;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
            break;
    }
    loading_ = false;
    const quint64 serial = ++loadSerial_;
    const QUrl url = view_->url();
    view_->page()->runJavaScript(
        kSnapshotScript, QWebEngineScript::ApplicationWorld,
        [self = QPointer<WebBrowser>(this), serial, url](const QVariant& v) {
            if (self) self->takeSnapshot(serial, url, v);
        });
}

void WebBrowser::takeSnapshot(quint64 serial, const QUrl& url, const QVariant& v) {
    if (destroying_ || serial != loadSerial_) return;
    if (!v.isValid()) {
        // The page could not be read back: as good as no document.
        document_.reset();
        emit DocumentComplete();
        return;
    }
    const QVariantMap map = v.toMap();
    PageDocument doc;
    doc.url = url;
    doc.bodyText = map.value(QStringLiteral("text")).toString();
    const QVariantList links = map.value(QStringLiteral("links")).toList();
    doc.links.reserve(links.size());
    for (const QVariant& item : links) {
        const QVariantList pair = item.toList();
        if (pair.size() == 2) doc.links.push_back({pair[0].toString(), pair[1].toString()});
    }
    document_ = std::move(doc);
    emit DocumentComplete();
}

bool WebBrowser::SaveAs() {
    if (!document_) return false;
    const QString path = ui_.saveFileName(view_->window(), QStringLiteral("另存为"),
                                          QDir::homePath(), QStringLiteral("网页 (*.html *.htm)"));
    if (path.isEmpty()) return false;
    view_->page()->save(path, QWebEngineDownloadRequest::SingleHtmlSaveFormat);
    return true;
}

}  // namespace melorin
