#pragma once
// What the player face in a page may call: attach a player to one object's target and drive
// it. Every call is refused unless the page shown is one of the program's own page files.
#include <QObject>
#include <QVariantList>
#include <QVariantMap>

namespace melorin::player {

class NativePlayer;
class PlayerPageHost;

class PlayerBridge : public QObject {
    Q_OBJECT
public:
    explicit PlayerBridge(PlayerPageHost& host);

    // The player objects of the page file, in order: {"real": bool, "target": text}. The face
    // gives a player only to the document's objects that match them, so an object a script
    // added gets none.
    Q_INVOKABLE QVariantList objects();
    // A player for the page file's `objectIndex`-th player object, playing the target the file
    // names; once per object and page. The player's id, or -1 when refused.
    Q_INVOKABLE int attach(int objectIndex);
    Q_INVOKABLE void playPause(int id);
    Q_INVOKABLE void stop(int id);
    Q_INVOKABLE void next(int id);
    Q_INVOKABLE void previous(int id);
    Q_INVOKABLE void seek(int id, double positionMs);
    Q_INVOKABLE void setVolume(int id, int percent);
    // Sends the player's whole state now.
    Q_INVOKABLE void refresh(int id);

    // Called by the host for each player it made.
    void watch(int id, NativePlayer* player);

signals:
    void update(int id, const QVariantMap& state);

private:
    PlayerPageHost& host_;
};

}  // namespace melorin::player
