#pragma once
// Publishes the current player on the session bus as an MPRIS 2 media player, so media keys
// and the desktop's sound menu control it and show what plays. Without a session bus it stays
// off, silently.
#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

namespace melorin::player {

class NativePlayer;
class PlaybackCoordinator;

class MprisService : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

    explicit MprisService(PlaybackCoordinator& coordinator, QObject* parent = nullptr);
    // On a given bus (tests use a private one).
    MprisService(PlaybackCoordinator& coordinator, const QDBusConnection& bus,
                 QObject* parent = nullptr);
    ~MprisService() override;

    [[nodiscard]] bool isRegistered() const { return registered_; }
    // "org.mpris.MediaPlayer2.melorin", or with ".instance<pid>" when another Melorin has it.
    [[nodiscard]] QString serviceName() const { return serviceName_; }

    // What the two interfaces answer and do; the adaptors call these.
    [[nodiscard]] NativePlayer* player() const;
    [[nodiscard]] QString playbackStatus() const;
    [[nodiscard]] QVariantMap metadata() const;
    [[nodiscard]] double volume() const;
    void setVolume(double volume);
    [[nodiscard]] qint64 positionUs() const;
    [[nodiscard]] bool canGoNext() const;
    [[nodiscard]] bool canGoPrevious() const;
    [[nodiscard]] bool canPlay() const;
    [[nodiscard]] bool canSeek() const;
    void seekBy(qint64 offsetUs);
    void setPositionUs(const QString& trackId, qint64 positionUs);
    [[nodiscard]] QString trackId() const;

signals:
    void Seeked(qint64 positionUs);

private:
    void registerOn(const QDBusConnection& bus);
    void follow(NativePlayer* player);
    void announceChanges();

    PlaybackCoordinator& coordinator_;
    QDBusConnection bus_;
    QString serviceName_;
    bool registered_ = false;
    QPointer<NativePlayer> followed_;
    QVariantMap announced_;  // the Player properties as last sent
};

}  // namespace melorin::player
