#include "player/mprisadaptors.h"

#include "player/mprisservice.h"
#include "player/nativeplayer.h"

namespace melorin::player {

MprisRootAdaptor::MprisRootAdaptor(QObject* object) : QDBusAbstractAdaptor(object) {}

QStringList MprisRootAdaptor::supportedUriSchemes() const {
    return {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https")};
}

QStringList MprisRootAdaptor::supportedMimeTypes() const {
    return {QStringLiteral("audio/mpeg"), QStringLiteral("audio/x-ms-wma"),
            QStringLiteral("video/x-ms-asf"), QStringLiteral("application/vnd.rn-realmedia"),
            QStringLiteral("audio/x-pn-realaudio")};
}

MprisPlayerAdaptor::MprisPlayerAdaptor(QObject* object, MprisService& service)
    : QDBusAbstractAdaptor(object), service_(service) {
    setAutoRelaySignals(true);
}

QString MprisPlayerAdaptor::playbackStatus() const {
    return service_.playbackStatus();
}

QVariantMap MprisPlayerAdaptor::metadata() const {
    return service_.metadata();
}

double MprisPlayerAdaptor::volume() const {
    return service_.volume();
}

void MprisPlayerAdaptor::setVolume(double volume) {
    service_.setVolume(volume);
}

qlonglong MprisPlayerAdaptor::position() const {
    return service_.positionUs();
}

bool MprisPlayerAdaptor::canGoNext() const {
    return service_.canGoNext();
}

bool MprisPlayerAdaptor::canGoPrevious() const {
    return service_.canGoPrevious();
}

bool MprisPlayerAdaptor::canPlay() const {
    return service_.canPlay();
}

bool MprisPlayerAdaptor::canSeek() const {
    return service_.canSeek();
}

void MprisPlayerAdaptor::Next() {
    if (NativePlayer* p = service_.player()) p->next();
}

void MprisPlayerAdaptor::Previous() {
    if (NativePlayer* p = service_.player()) p->previous();
}

void MprisPlayerAdaptor::Pause() {
    if (NativePlayer* p = service_.player()) p->pause();
}

void MprisPlayerAdaptor::PlayPause() {
    if (NativePlayer* p = service_.player()) p->playPause();
}

void MprisPlayerAdaptor::Stop() {
    if (NativePlayer* p = service_.player()) p->stop();
}

void MprisPlayerAdaptor::Play() {
    if (NativePlayer* p = service_.player()) p->play();
}

void MprisPlayerAdaptor::Seek(qlonglong offsetUs) {
    service_.seekBy(offsetUs);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong positionUs) {
    service_.setPositionUs(trackId.path(), positionUs);
}

}  // namespace melorin::player
