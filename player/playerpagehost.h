#pragma once
// Puts Melorin's own player in place of the player objects of its pages. Attached to a
// browser's page, it injects the player face (a script in its own world) and, for the page
// files of the program folder only, the bridge to the native players; any other page, above
// all one from the network, gets no bridge. The page files on disk are never touched. Pages
// without a charset declaration are read as GBK, the program's page encoding.
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <vector>

#include "core/songrow.h"
#include "player/nativeplayer.h"
#include "player/pageobjects.h"

class QWebChannel;
class QWebEnginePage;

namespace melorin::player {

class OwnPageGuard;
class PlaybackCoordinator;
class PlayerBridge;

class PlayerPageHost : public QObject {
    Q_OBJECT
public:
    // `programDir` ends in "/". The host lives as long as the page (its parent).
    PlayerPageHost(QWebEnginePage* page, const QString& programDir,
                   PlaybackCoordinator& coordinator);
    ~PlayerPageHost() override;

    // The page files that get the bridge when they lie in the program folder.
    static const QStringList& ownPageNames();
    static bool isOwnPage(const QUrl& url, const QString& programDir);

    // The rows the page's list was made from: their titles name its entries.
    void setTitles(const std::vector<core::SongRow>& rows);
    // The players of the page that is shown, in the order of its objects.
    [[nodiscard]] QList<NativePlayer*> players() const;

    // Whether the user can see the page. While nobody can, the face gets no news of its
    // players (the page would only redraw for nobody); when it is seen again it gets their
    // whole state at once.
    void setShown(bool shown);
    [[nodiscard]] bool shown() const { return shown_; }

signals:
    void playerAttached(melorin::player::NativePlayer* player);

private:
    friend class PlayerBridge;
    void onLoadStarted(const QUrl& url);
    [[nodiscard]] bool bridgeAllowed() const;
    // Reads the player objects and the picture of the page file a load shows (none for any
    // other page).
    void readPageFile(const QUrl& url);
    [[nodiscard]] const std::vector<PlayerObject>& pageObjects() const { return objects_; }
    int attach(int objectIndex);
    [[nodiscard]] NativePlayer::Source sourceOf(const QString& target) const;
    NativePlayer* player(int id) const;
    void dropPlayers();

    QWebEnginePage* page_;
    QString programDir_;
    PlaybackCoordinator& coordinator_;
    QWebChannel* channel_ = nullptr;
    PlayerBridge* bridge_ = nullptr;
    QHash<QString, QString> titles_;
    QHash<int, QPointer<NativePlayer>> players_;
    OwnPageGuard* guard_ = nullptr;
    std::vector<PlayerObject> objects_;
    QList<int> attachedObjects_;  // each object of the page gets one player
    int nextId_ = 1;
    bool shown_ = true;
};

}  // namespace melorin::player
