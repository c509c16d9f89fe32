#pragma once
// Keeps one player sounding at a time in the whole program: when one starts, every other
// pauses. The player that started last is the current one (the desktop's media controls
// act on it).
#include <QList>
#include <QObject>
#include <QPointer>

namespace melorin::player {

class NativePlayer;

class PlaybackCoordinator : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Watched until it is destroyed.
    void add(NativePlayer* player);
    [[nodiscard]] NativePlayer* current() const;
    [[nodiscard]] QList<NativePlayer*> players() const;

signals:
    void currentChanged(melorin::player::NativePlayer* player);

private:
    void onStarted(NativePlayer* player);
    void onGone();

    QList<QPointer<NativePlayer>> players_;
    QPointer<NativePlayer> current_;
};

}  // namespace melorin::player
