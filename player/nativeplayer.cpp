#include "player/nativeplayer.h"

#include <QAudioOutput>
#include <QFile>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <memory>

#include "player/entrylist.h"

namespace melorin::player {
namespace {

constexpr int kMaxEntries = 10000;
constexpr int kListTimeoutMs = 15000;

const QString kFileScheme = QStringLiteral("file://");

bool isLocal(const QString& address) {
    return address.startsWith(kFileScheme) || address.startsWith(u'/');
}

QString localPath(const QString& address) {
    return address.startsWith(kFileScheme) ? address.mid(kFileScheme.size()) : address;
}

bool hasScheme(const QString& address) {
    const qsizetype colon = address.indexOf(u':');
    if (colon <= 0) return false;
    for (qsizetype i = 0; i < colon; ++i) {
        const QChar c = address.at(i);
        if (!(c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.') || c.unicode() > 127)
            return false;
    }
    return address.at(0).isLetter();
}

// An entry address of a list, made absolute against the list's own address.
QString resolvedAgainst(const QString& list, const QString& entry) {
    if (entry.startsWith(kFileScheme) || hasScheme(entry)) return entry;
    if (isLocal(list)) {
        if (entry.startsWith(u'/')) return entry;
        return QFileInfo(localPath(list)).absolutePath() + u'/' + entry;
    }
    return QUrl(list, QUrl::TolerantMode).resolved(QUrl(entry, QUrl::TolerantMode)).toString();
}

QString fileNameOf(const QString& address) {
    return QString::fromStdString(displayNameOf(address.toStdString()));
}

// What went wrong, in Chinese whatever the system's language; the media stack's own words
// (often English) follow as the detail.
QString playbackFailure(const QString& title, QMediaPlayer::Error error, const QString& detail) {
    QString reason;
    switch (error) {
        case QMediaPlayer::ResourceError:
            reason = NativePlayer::tr("无法打开媒体");
            break;
        case QMediaPlayer::FormatError:
            reason = NativePlayer::tr("不支持的媒体格式");
            break;
        case QMediaPlayer::NetworkError:
            reason = NativePlayer::tr("网络错误");
            break;
        case QMediaPlayer::AccessDeniedError:
            reason = NativePlayer::tr("无权访问该媒体");
            break;
        default:
            reason = NativePlayer::tr("无法识别的格式");
            break;
    }
    if (detail.isEmpty() || detail == reason)
        return NativePlayer::tr("无法播放“%1”：%2").arg(title, reason);
    return NativePlayer::tr("无法播放“%1”：%2（%3）").arg(title, reason, detail);
}

}  // namespace

NativePlayer::NativePlayer(QObject* parent)
    : QObject(parent), audio_(new QAudioOutput(this)), network_(new QNetworkAccessManager(this)) {
    replaceMedia();
}

void NativePlayer::replaceMedia() {
    // Every entry gets a media player of its own: reports of an entry left behind (a failing
    // stream sends several) then cannot reach the next one.
    if (media_) {
        media_->disconnect(this);
        media_->stop();
        media_->setAudioOutput(nullptr);
        media_->deleteLater();
    }
    media_ = new QMediaPlayer(this);
    media_->setAudioOutput(audio_);
    connect(media_, &QMediaPlayer::mediaStatusChanged, this,
            [this](QMediaPlayer::MediaStatus s) { onMediaStatus(s); });
    connect(media_, &QMediaPlayer::playbackStateChanged, this,
            [this](QMediaPlayer::PlaybackState s) { onPlaybackState(s); });
    connect(media_, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error error, const QString& text) {
                if (error == QMediaPlayer::NoError || !mediaLoaded_) return;
                failCurrent(playbackFailure(title(), error, text));
            });
    connect(media_, &QMediaPlayer::positionChanged, this, &NativePlayer::positionChanged);
    connect(media_, &QMediaPlayer::durationChanged, this, &NativePlayer::changed);
}

NativePlayer::~NativePlayer() {
    ++generation_;
    if (listReply_) listReply_->abort();
    media_->stop();
}

void NativePlayer::open(const QString& target, bool autoStart) {
    ++generation_;
    if (listReply_) listReply_->abort();
    mediaLoaded_ = false;
    replaceMedia();
    // A page that names one song (the card) shows that song's title, as list entries do.
    entries_ = {
        Entry{target.trimmed(), EntryKind::Media, titles_.value(target.trimmed()), 1, false}};
    index_ = 0;
    message_.clear();
    finished_ = false;
    state_ = autoStart ? State::Playing : State::Stopped;
    emit changed();
    if (autoStart) startCurrent();
}

void NativePlayer::play() {
    if (entries_.empty()) return;
    if (finished_) {
        finished_ = false;
        index_ = 0;
        mediaLoaded_ = false;
    }
    setState(State::Playing);
    if (mediaLoaded_) {
        media_->play();
    } else if (!listReply_) {
        startCurrent();
    }
}

void NativePlayer::pause() {
    if (state_ != State::Playing) return;
    setState(State::Paused);
    if (mediaLoaded_) media_->pause();
}

void NativePlayer::playPause() {
    if (state_ == State::Playing) {
        pause();
    } else {
        play();
    }
}

void NativePlayer::stop() {
    if (listReply_) {
        ++generation_;
        listReply_->abort();
    }
    media_->stop();
    setState(State::Stopped);
}

void NativePlayer::next() {
    if (index_ + 1 >= entryCount()) return;
    ++index_;
    message_.clear();
    finished_ = false;
    setState(State::Playing);
    startCurrent();
}

void NativePlayer::previous() {
    if (index_ <= 0) {
        seek(0);
        return;
    }
    --index_;
    message_.clear();
    finished_ = false;
    setState(State::Playing);
    startCurrent();
}

void NativePlayer::seek(qint64 positionMs) {
    if (mediaLoaded_ && media_->isSeekable()) media_->setPosition(qMax<qint64>(0, positionMs));
}

void NativePlayer::setVolume(int percent) {
    percent = qBound(0, percent, 100);
    if (percent == volume_) return;
    volume_ = percent;
    audio_->setVolume(static_cast<float>(percent) / 100.0f);
    emit changed();
}

qint64 NativePlayer::position() const {
    return mediaLoaded_ ? media_->position() : 0;
}

qint64 NativePlayer::duration() const {
    return mediaLoaded_ ? media_->duration() : 0;
}

bool NativePlayer::seekable() const {
    return mediaLoaded_ && media_->isSeekable();
}

QString NativePlayer::title() const {
    if (index_ < 0 || index_ >= entryCount()) return {};
    const Entry& e = entries_[static_cast<std::size_t>(index_)];
    return e.title.isEmpty() ? fileNameOf(e.address) : e.title;
}

QString NativePlayer::entryAddress() const {
    if (index_ < 0 || index_ >= entryCount()) return {};
    return entries_[static_cast<std::size_t>(index_)].address;
}

EntryKind NativePlayer::kindOf(const Entry& entry) {
    const EntryKind named = entryKindOf(entry.address.toStdString());
    // The page's own target on this computer: a list the program saved may carry any name.
    if (named != EntryKind::Media || entry.depth != 1 || !isLocal(entry.address)) return named;
    QFile file(localPath(entry.address));
    if (!file.open(QIODevice::ReadOnly)) return named;
    constexpr qint64 kHead = 4096;
    const QByteArray head = file.read(kHead);
    return sniffedKindOf(std::string_view(head.constData(), static_cast<std::size_t>(head.size())),
                         file.atEnd());
}

void NativePlayer::startCurrent() {
    ++generation_;
    mediaLoaded_ = false;
    media_->stop();
    if (index_ < 0 || index_ >= entryCount()) {
        setState(State::Stopped);
        return;
    }
    Entry& current = entries_[static_cast<std::size_t>(index_)];
    current.kind = kindOf(current);
    const Entry entry = current;
    if (entry.kind != EntryKind::Media) {
        if (entry.depth > kMaxListDepth) {
            failCurrent(tr("列表“%1”嵌套超过三层，不再打开").arg(title()));
        } else {
            emit changed();
            startList(entry);
        }
        return;
    }
    QUrl url;
    if (isLocal(entry.address)) {
        if (entry.fromNetwork) {
            failCurrent(tr("网络上的列表指向本机文件，不予播放：%1").arg(entry.address));
            return;
        }
        const QString path = localPath(entry.address);
        if (!QFileInfo(path).isFile()) {
            failCurrent(tr("无法播放“%1”：找不到文件").arg(title()));
            return;
        }
        url = QUrl::fromLocalFile(path);
    } else {
        url = QUrl(entry.address, QUrl::TolerantMode);
        static const QStringList kSchemes = {QStringLiteral("http"), QStringLiteral("https"),
                                             QStringLiteral("rtsp"), QStringLiteral("mms"),
                                             QStringLiteral("mmsh")};
        if (!url.isValid() || !kSchemes.contains(url.scheme().toLower())) {
            failCurrent(tr("无法播放“%1”：不支持的地址").arg(title()));
            return;
        }
    }
    replaceMedia();
    media_->setSource(url);
    mediaLoaded_ = true;
    if (state_ == State::Playing) media_->play();
    emit changed();
}

void NativePlayer::startList(const Entry& entry) {
    const quint64 generation = generation_;
    if (isLocal(entry.address)) {
        QFile file(localPath(entry.address));
        if (!file.open(QIODevice::ReadOnly)) {
            takeList(generation, {}, file.errorString());
            return;
        }
        const QByteArray bytes = file.read(kMaxListBytes + 1);
        takeList(generation, bytes, bytes.size() > kMaxListBytes ? tr("列表过大") : QString());
        return;
    }
    QNetworkRequest request(QUrl(entry.address, QUrl::TolerantMode));
    request.setTransferTimeout(kListTimeoutMs);
    QNetworkReply* reply = network_->get(request);
    listReply_ = reply;
    auto tooLarge = std::make_shared<bool>(false);
    connect(reply, &QNetworkReply::downloadProgress, reply,
            [reply, tooLarge](qint64 received, qint64) {
                if (received <= kMaxListBytes || *tooLarge) return;
                *tooLarge = true;
                reply->abort();
            });
    connect(reply, &QNetworkReply::finished, this, [this, reply, generation, tooLarge] {
        reply->deleteLater();
        if (listReply_ == reply) listReply_ = nullptr;
        const QByteArray bytes = reply->read(kMaxListBytes + 1);
        QString error;
        if (*tooLarge || bytes.size() > kMaxListBytes) {
            error = tr("列表过大");
        } else if (reply->error() != QNetworkReply::NoError) {
            error = reply->errorString();
        }
        takeList(generation, bytes, error);
    });
}

void NativePlayer::takeList(quint64 generation, const QByteArray& bytes, const QString& error) {
    if (generation != generation_ || index_ < 0 || index_ >= entryCount()) return;
    const Entry list = entries_[static_cast<std::size_t>(index_)];
    if (!error.isEmpty()) {
        failCurrent(tr("无法读取列表“%1”：%2").arg(title(), error));
        return;
    }
    const std::string text = listTextToUtf8(std::string_view(bytes.constData(), bytes.size()));
    const std::vector<std::string> addresses =
        list.kind == EntryKind::AsxList ? asxEntries(text) : lineListEntries(text);
    if (addresses.empty()) {
        failCurrent(tr("列表“%1”中没有可播放的地址").arg(title()));
        return;
    }
    const bool fromNetwork = list.fromNetwork || !isLocal(list.address);
    std::vector<Entry> children;
    const int room = kMaxEntries - entryCount() + 1;
    for (const std::string& a : addresses) {
        if (static_cast<int>(children.size()) >= room) break;
        const QString address = resolvedAgainst(list.address, QString::fromStdString(a));
        children.push_back({address, EntryKind::Media, titles_.value(address, list.title),
                            list.depth + 1, fromNetwork});
    }
    const auto at = entries_.begin() + index_;
    entries_.insert(entries_.erase(at), children.begin(), children.end());
    startCurrent();
}

void NativePlayer::failCurrent(const QString& message) {
    ++generation_;
    mediaLoaded_ = false;
    replaceMedia();
    message_ = message;
    emit changed();
    QMetaObject::invokeMethod(
        this,
        [this, generation = generation_] {
            if (generation == generation_) advance();
        },
        Qt::QueuedConnection);
}

void NativePlayer::advance() {
    if (index_ + 1 < entryCount()) {
        ++index_;
        startCurrent();
        return;
    }
    finished_ = true;
    media_->stop();
    setState(State::Stopped);
}

void NativePlayer::onMediaStatus(int status) {
    if (!mediaLoaded_) return;
    if (status == QMediaPlayer::InvalidMedia) {
        failCurrent(playbackFailure(title(), media_->error(), media_->errorString()));
    } else if (status == QMediaPlayer::EndOfMedia) {
        QMetaObject::invokeMethod(
            this,
            [this, generation = generation_] {
                if (generation == generation_) advance();
            },
            Qt::QueuedConnection);
    }
}

void NativePlayer::onPlaybackState(int state) {
    if (state == QMediaPlayer::PlayingState) emit startedSounding();
    emit changed();
}

void NativePlayer::setState(State state) {
    if (state == state_) return;
    state_ = state;
    emit changed();
}

}  // namespace melorin::player
