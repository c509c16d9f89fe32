#include "player/playerbridge.h"

#include <memory>

#include "player/nativeplayer.h"
#include "player/playerpagehost.h"

namespace melorin::player {
namespace {

// The face shows whole seconds: a new position is worth sending when its second is new. More
// would only make the page redraw what looks the same.
constexpr qint64 kSecondMs = 1000;

QString stateName(NativePlayer::State state) {
    switch (state) {
        case NativePlayer::State::Playing:
            return QStringLiteral("playing");
        case NativePlayer::State::Paused:
            return QStringLiteral("paused");
        case NativePlayer::State::Stopped:
            break;
    }
    return QStringLiteral("stopped");
}

QVariantMap stateOf(const NativePlayer& p) {
    return {{QStringLiteral("state"), stateName(p.state())},
            {QStringLiteral("position"), p.position()},
            {QStringLiteral("duration"), p.duration()},
            {QStringLiteral("seekable"), p.seekable()},
            {QStringLiteral("title"), p.title()},
            {QStringLiteral("message"), p.message()},
            {QStringLiteral("volume"), p.volume()},
            {QStringLiteral("index"), p.entryIndex() + 1},
            {QStringLiteral("count"), p.entryCount()}};
}

}  // namespace

PlayerBridge::PlayerBridge(PlayerPageHost& host) : host_(host) {}

QVariantList PlayerBridge::objects() {
    QVariantList out;
    if (!host_.bridgeAllowed()) return out;
    for (const PlayerObject& o : host_.pageObjects()) {
        out.append(QVariantMap{{QStringLiteral("real"), o.kind == PlayerKind::Real},
                               {QStringLiteral("target"), QString::fromStdString(o.target)}});
    }
    return out;
}

int PlayerBridge::attach(int objectIndex) {
    return host_.attach(objectIndex);
}

void PlayerBridge::playPause(int id) {
    if (NativePlayer* p = host_.player(id)) p->playPause();
}

void PlayerBridge::stop(int id) {
    if (NativePlayer* p = host_.player(id)) p->stop();
}

void PlayerBridge::next(int id) {
    if (NativePlayer* p = host_.player(id)) p->next();
}

void PlayerBridge::previous(int id) {
    if (NativePlayer* p = host_.player(id)) p->previous();
}

void PlayerBridge::seek(int id, double positionMs) {
    if (NativePlayer* p = host_.player(id)) p->seek(static_cast<qint64>(positionMs));
}

void PlayerBridge::setVolume(int id, int percent) {
    if (NativePlayer* p = host_.player(id)) p->setVolume(percent);
}

void PlayerBridge::refresh(int id) {
    if (NativePlayer* p = host_.player(id)) emit update(id, stateOf(*p));
}

void PlayerBridge::watch(int id, NativePlayer* player) {
    auto lastSent = std::make_shared<qint64>(-kSecondMs);
    connect(player, &NativePlayer::changed, this, [this, id, player, lastSent] {
        if (!host_.shown()) return;  // the host sends everything when the page is seen again
        *lastSent = player->position();
        emit update(id, stateOf(*player));
    });
    connect(player, &NativePlayer::positionChanged, this,
            [this, id, player, lastSent](qint64 position) {
                if (!host_.shown() || position / kSecondMs == *lastSent / kSecondMs) return;
                *lastSent = position;
                emit update(id, stateOf(*player));
            });
}

}  // namespace melorin::player
