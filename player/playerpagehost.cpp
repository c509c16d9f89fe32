#include "player/playerpagehost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWebChannel>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include "core/text.h"
#include "player/addresstext.h"
#include "player/nativeplayer.h"
#include "player/ownpageguard.h"
#include "player/pageobjects.h"
#include "player/playbackcoordinator.h"
#include "player/playerbridge.h"
#include "player/playerpages.h"

namespace melorin::player {
namespace {

const QString kScriptName = QStringLiteral("melorin-player-face");
constexpr qint64 kMaxPageBytes = 1024 * 1024;

QString resourceText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("melorin: the player face lacks %s", qPrintable(path));
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

QString faceScript() {
    return resourceText(QStringLiteral(":/qtwebchannel/qwebchannel.js")) + u'\n' +
           resourceText(QStringLiteral(":/melorin/player/playerface.js"));
}

}  // namespace

PlayerPageHost::PlayerPageHost(QWebEnginePage* page, const QString& programDir,
                               PlaybackCoordinator& coordinator)
    : QObject(page),
      page_(page),
      programDir_(programDir),
      coordinator_(coordinator),
      channel_(new QWebChannel(this)),
      bridge_(new PlayerBridge(*this)),
      guard_(new OwnPageGuard(programDir, this)) {
    bridge_->setParent(this);
    page_->setUrlRequestInterceptor(guard_);
    // Melorin's pages are GBK without a charset declaration, as the program always wrote them.
    page_->settings()->setDefaultTextEncoding(QStringLiteral("GBK"));
    channel_->registerObject(QStringLiteral("melorinPlayer"), bridge_);
    QWebEngineScript script;
    script.setName(kScriptName);
    script.setSourceCode(faceScript());
    script.setInjectionPoint(QWebEngineScript::DocumentReady);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    page_->scripts().insert(script);
    connect(page_, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) {
                if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
                    onLoadStarted(info.url());
            });
    // Set once, before any document: a channel set while a navigation is under way can miss
    // the document that navigation makes. Which page sees the bridge is decided per load.
    page_->setWebChannel(channel_, QWebEngineScript::ApplicationWorld);
    onLoadStarted(page_->url());
}

PlayerPageHost::~PlayerPageHost() {
    for (const auto& p : std::as_const(players_)) delete p.data();
}

const QStringList& PlayerPageHost::ownPageNames() {
    static const QStringList names = {QStringLiteral("1.html"), QStringLiteral("2.html"),
                                      QStringLiteral("card.html")};
    return names;
}

bool PlayerPageHost::isOwnPage(const QUrl& url, const QString& programDir) {
    if (!url.isLocalFile() || programDir.isEmpty()) return false;
    const QFileInfo file(url.toLocalFile());
    return ownPageNames().contains(file.fileName()) &&
           QDir::cleanPath(file.absolutePath()) == QDir::cleanPath(programDir);
}

void PlayerPageHost::setTitles(const std::vector<core::SongRow>& rows) {
    titles_.clear();
    for (const core::SongRow& row : rows) {
        if (!row.isFile() || row.title.empty()) continue;
        const QString title = QString::fromStdString(row.title);
        titles_.insert(QString::fromStdString(row.address), title);
        // The address as a working ".rpm" list holds it and the player reads it back.
        const std::string listed = core::gbkToUtf8(
            core::utf8ToGbk(oneLineAddress(row.address), core::Unencodable::PercentUtf8));
        titles_.insert(QString::fromStdString(listed), title);
    }
}

QList<NativePlayer*> PlayerPageHost::players() const {
    QList<int> ids = players_.keys();
    std::sort(ids.begin(), ids.end());
    QList<NativePlayer*> out;
    for (const int id : ids) {
        if (NativePlayer* p = players_.value(id)) out.append(p);
    }
    return out;
}

void PlayerPageHost::setShown(bool shown) {
    if (shown == shown_) return;
    shown_ = shown;
    if (!shown_) return;
    for (auto it = players_.cbegin(); it != players_.cend(); ++it) bridge_->refresh(it.key());
}

void PlayerPageHost::onLoadStarted(const QUrl& url) {
    dropPlayers();
    attachedObjects_.clear();
    // What a script of the page writes into the document never counts: the file says it.
    readPageFile(url);
    // Decided before the document exists: only the program's own page files find the bridge
    // on the channel; every other page finds the channel empty.
    const QString name = QStringLiteral("melorinPlayer");
    const bool registered = channel_->registeredObjects().contains(name);
    if (isOwnPage(url, programDir_)) {
        if (!registered) channel_->registerObject(name, bridge_);
    } else if (registered) {
        channel_->deregisterObject(bridge_);
    }
}

bool PlayerPageHost::bridgeAllowed() const {
    return isOwnPage(page_->url(), programDir_);
}

void PlayerPageHost::readPageFile(const QUrl& url) {
    objects_.clear();
    QByteArray bytes;
    if (isOwnPage(url, programDir_)) {
        QFile file(url.toLocalFile());
        if (file.open(QIODevice::ReadOnly)) bytes = file.read(kMaxPageBytes);
    }
    const std::string_view page(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    objects_ = playerObjectsOf(page);
    guard_->setPagePicture(QString::fromStdString(pagePictureOf(page)));
}

int PlayerPageHost::attach(int objectIndex) {
    if (!bridgeAllowed()) return -1;
    const std::vector<PlayerObject>& objects = objects_;
    if (objectIndex < 0 || objectIndex >= static_cast<int>(objects.size()) ||
        attachedObjects_.contains(objectIndex))
        return -1;
    attachedObjects_.append(objectIndex);
    const PlayerObject& object = objects[static_cast<std::size_t>(objectIndex)];
    const QString target = QString::fromStdString(object.target);
    auto* player = new NativePlayer(this);
    player->setTitles(titles_);
    coordinator_.add(player);
    const int id = nextId_++;
    players_.insert(id, player);
    bridge_->watch(id, player);
    emit playerAttached(player);
    player->open(target, object.autoStart, sourceOf(target),
                 QByteArray::fromStdString(object.targetBytes));
    return id;
}

NativePlayer::Source PlayerPageHost::sourceOf(const QString& target) const {
    // The card's song is an address from a result page; the player pages play the working
    // lists written from result rows, or a file the user loaded.
    if (QFileInfo(page_->url().toLocalFile()).fileName() == QStringLiteral("card.html"))
        return NativePlayer::Source::Network;
    for (const std::string_view list : {kWorkingRealList, kWorkingWindowsMediaList}) {
        const QString working = QStringLiteral("file://") + programDir_ +
                                QString::fromUtf8(list.data(), static_cast<qsizetype>(list.size()));
        if (target == working) return NativePlayer::Source::ProgramList;
    }
    return NativePlayer::Source::User;
}

NativePlayer* PlayerPageHost::player(int id) const {
    return bridgeAllowed() ? players_.value(id).data() : nullptr;
}

void PlayerPageHost::dropPlayers() {
    for (const auto& p : std::as_const(players_)) {
        if (!p) continue;
        p->disconnect(bridge_);
        p->stop();
        p->deleteLater();
    }
    players_.clear();
}

}  // namespace melorin::player
