#include "player/playbackcoordinator.h"

#include "player/nativeplayer.h"

namespace melorin::player {

void PlaybackCoordinator::add(NativePlayer* player) {
    if (player == nullptr || players_.contains(player)) return;
    players_.append(player);
    connect(player, &NativePlayer::startedSounding, this, [this, player] { onStarted(player); });
    connect(player, &QObject::destroyed, this, &PlaybackCoordinator::onGone);
    if (!current_) {
        current_ = player;
        emit currentChanged(player);
    }
}

NativePlayer* PlaybackCoordinator::current() const {
    return current_.data();
}

QList<NativePlayer*> PlaybackCoordinator::players() const {
    QList<NativePlayer*> out;
    for (const auto& p : players_) {
        if (p) out.append(p.data());
    }
    return out;
}

void PlaybackCoordinator::onStarted(NativePlayer* player) {
    for (const auto& other : players_) {
        if (other && other != player) other->pause();
    }
    if (current_ != player) {
        current_ = player;
        emit currentChanged(player);
    }
}

void PlaybackCoordinator::onGone() {
    // A player's pointers are cleared before it reports its end: drop every empty entry.
    players_.removeIf([](const QPointer<NativePlayer>& p) { return p.isNull(); });
    if (!current_) {
        current_ = players_.isEmpty() ? nullptr : players_.constLast().data();
        emit currentChanged(current_);
    }
}

}  // namespace melorin::player
