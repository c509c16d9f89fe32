#include "player/ownpageguard.h"

#include <QDir>
#include <QUrl>

namespace melorin::player {

bool ownPageMayLoad(QWebEngineUrlRequestInfo::ResourceType type, const QString& path,
                    const QString& programDir, const QString& picture) {
    switch (type) {
        case QWebEngineUrlRequestInfo::ResourceTypeMainFrame:
            // The window shows the page; a page that moves itself elsewhere leaves its script.
            return true;
        case QWebEngineUrlRequestInfo::ResourceTypeImage:
            return (!picture.isEmpty() && path == picture) ||
                   (!programDir.isEmpty() && path.startsWith(programDir + u'/'));
        default:
            return false;
    }
}

OwnPageGuard::OwnPageGuard(const QString& programDir, QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent), programDir_(QDir::cleanPath(programDir)) {}

void OwnPageGuard::setPagePicture(const QString& address) {
    // The card page names its picture percent-encoded; a page may also name it plainly.
    const QUrl url(address, QUrl::TolerantMode);
    picture_ = url.isLocalFile() ? QDir::cleanPath(url.toLocalFile()) : QString();
}

void OwnPageGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
    const QUrl url = info.requestUrl();
    if (!url.isLocalFile()) return;
    const QString path = QDir::cleanPath(url.toLocalFile());
    if (!ownPageMayLoad(info.resourceType(), path, programDir_, picture_)) {
        qInfo("melorin: a page of the program may not load %s", qPrintable(url.toString()));
        info.block(true);
    }
}

}  // namespace melorin::player
