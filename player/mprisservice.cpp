#include "player/mprisservice.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QStringList>
#include <cmath>

#include "player/mprisadaptors.h"
#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"

namespace melorin::player {
namespace {

const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.melorin");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

// The session bus when there is one to reach; asking for it otherwise would only try to
// start one or complain.
QDBusConnection sessionBusIfAny() {
    const bool named = !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const bool socket = !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
    if (!named && !socket) return QDBusConnection(QStringLiteral("melorin-no-session-bus"));
    return QDBusConnection::sessionBus();
}

}  // namespace

MprisService::MprisService(PlaybackCoordinator& coordinator, QObject* parent)
    : MprisService(coordinator, sessionBusIfAny(), parent) {}

MprisService::MprisService(PlaybackCoordinator& coordinator, const QDBusConnection& bus,
                           QObject* parent)
    : QObject(parent), coordinator_(coordinator), bus_(bus) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this, *this);
    connect(&coordinator_, &PlaybackCoordinator::currentChanged, this,
            [this](NativePlayer* p) { follow(p); });
    registerOn(bus_);
    follow(coordinator_.current());
}

MprisService::~MprisService() {
    if (!registered_) return;
    bus_.unregisterObject(QString::fromLatin1(kObjectPath));
    bus_.unregisterService(serviceName_);
}

void MprisService::registerOn(const QDBusConnection& bus) {
    if (!bus.isConnected()) return;
    QDBusConnection connection = bus;
    // The object first: a connection that already publishes a player keeps its name.
    if (!connection.registerObject(QString::fromLatin1(kObjectPath), this,
                                   QDBusConnection::ExportAdaptors))
        return;
    QString name = kServiceName;
    if (!connection.registerService(name)) {
        name += QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid());
        if (!connection.registerService(name)) {
            connection.unregisterObject(QString::fromLatin1(kObjectPath));
            return;
        }
    }
    serviceName_ = name;
    registered_ = true;
}

void MprisService::follow(NativePlayer* player) {
    if (followed_) followed_->disconnect(this);
    followed_ = player;
    if (player) connect(player, &NativePlayer::changed, this, &MprisService::announceChanges);
    announceChanges();
}

void MprisService::announceChanges() {
    const QVariantMap now = {{QStringLiteral("PlaybackStatus"), playbackStatus()},
                             {QStringLiteral("Metadata"), metadata()},
                             {QStringLiteral("Volume"), volume()},
                             {QStringLiteral("CanGoNext"), canGoNext()},
                             {QStringLiteral("CanGoPrevious"), canGoPrevious()},
                             {QStringLiteral("CanPlay"), canPlay()},
                             {QStringLiteral("CanPause"), canPlay()},
                             {QStringLiteral("CanSeek"), canSeek()}};
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (announced_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    }
    announced_ = now;
    if (!registered_ || changed.isEmpty()) return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    bus_.send(signal);
}

NativePlayer* MprisService::player() const {
    return followed_.data();
}

QString MprisService::playbackStatus() const {
    if (!followed_) return QStringLiteral("Stopped");
    switch (followed_->state()) {
        case NativePlayer::State::Playing:
            return QStringLiteral("Playing");
        case NativePlayer::State::Paused:
            return QStringLiteral("Paused");
        case NativePlayer::State::Stopped:
            break;
    }
    return QStringLiteral("Stopped");
}

QString MprisService::trackId() const {
    if (!followed_ || followed_->entryIndex() < 0) return kNoTrack;
    return QStringLiteral("/org/melorin/track/") + QString::number(followed_->entryIndex());
}

QVariantMap MprisService::metadata() const {
    QVariantMap map{
        {QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId()))}};
    if (!followed_ || followed_->entryIndex() < 0) return map;
    map.insert(QStringLiteral("xesam:title"), followed_->title());
    map.insert(QStringLiteral("xesam:url"), followed_->entryAddress());
    if (followed_->duration() > 0)
        map.insert(QStringLiteral("mpris:length"), followed_->duration() * 1000);
    return map;
}

double MprisService::volume() const {
    return followed_ ? followed_->volume() / 100.0 : 1.0;
}

void MprisService::setVolume(double volume) {
    if (followed_ && std::isfinite(volume))
        followed_->setVolume(static_cast<int>(std::lround(qBound(0.0, volume, 1.0) * 100)));
}

qint64 MprisService::positionUs() const {
    return followed_ ? followed_->position() * 1000 : 0;
}

bool MprisService::canGoNext() const {
    return followed_ && followed_->entryIndex() + 1 < followed_->entryCount();
}

bool MprisService::canGoPrevious() const {
    return followed_ && followed_->entryIndex() > 0;
}

bool MprisService::canPlay() const {
    return followed_ && followed_->entryCount() > 0;
}

bool MprisService::canSeek() const {
    return followed_ && followed_->seekable();
}

void MprisService::seekBy(qint64 offsetUs) {
    if (!canSeek()) return;
    const qint64 target = qMax<qint64>(0, followed_->position() + offsetUs / 1000);
    if (followed_->duration() > 0 && target > followed_->duration()) {
        followed_->next();
        return;
    }
    followed_->seek(target);
    emit Seeked(target * 1000);
}

void MprisService::setPositionUs(const QString& track, qint64 positionUs) {
    if (!canSeek() || track != trackId() || positionUs < 0) return;
    if (followed_->duration() > 0 && positionUs / 1000 > followed_->duration()) return;
    followed_->seek(positionUs / 1000);
    emit Seeked(positionUs);
}

}  // namespace melorin::player
