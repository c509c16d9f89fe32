#include "player/nativeplayer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAudioOutput>
#include <QFile>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/text.h"
#include "core/webaddress.h"
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

// An entry of a local list, made absolute against the list's own path.
QString resolvedAgainstFile(const QString& list, const QString& entry) {
    if (entry.startsWith(kFileScheme) || hasScheme(entry) || entry.startsWith(u'/')) return entry;
    return QFileInfo(localPath(list)).absolutePath() + u'/' + entry;
}

// The same in the bytes the list named it by; `listBytes` is the path the list was read from.
QByteArray resolvedBytes(const QByteArray& listBytes, const std::string& entry) {
    const QByteArray named = QByteArray::fromStdString(entry);
    if (named.startsWith("file://")) return named.mid(7);
    if (named.startsWith('/')) return named;
    const qsizetype slash = listBytes.lastIndexOf('/');
    return listBytes.left(slash + 1) + named;
}

// An entry of a list fetched over the network, made absolute against the list's address; empty
// when it is not an http or https address then.
QString resolvedAgainstNetwork(const QString& list, const QString& entry) {
    const QUrl url =
        QUrl(list, QUrl::TolerantMode).resolved(QUrl(entry.trimmed(), QUrl::TolerantMode));
    const QString address = url.toString();
    return core::isWebAddress(address.toStdString()) ? address : QString();
}

bool existsAt(const QByteArray& path) {
    struct stat info {};
    return ::stat(path.constData(), &info) == 0;
}

bool isFileAt(const QByteArray& path) {
    struct stat info {};
    return ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

// The path a local entry is opened by: its text's, or else the bytes its page or list named
// it by (a name that is not UTF-8 has no text of its own).
QByteArray openPath(const QString& address, const QByteArray& pathBytes) {
    const QByteArray named = QFile::encodeName(localPath(address));
    if (pathBytes.isEmpty() || pathBytes == named || existsAt(named)) return named;
    return existsAt(pathBytes) ? pathBytes : named;
}

// Up to `limit` + 1 bytes of a local file (one more than `limit` says it is too long); the
// error's text, empty when it was read.
QString readLocal(const QByteArray& path, qint64 limit, QByteArray* bytes) {
    std::FILE* file = std::fopen(path.constData(), "rb");
    if (file == nullptr) return QString::fromLocal8Bit(std::strerror(errno));
    bytes->resize(limit + 1);
    const std::size_t n = std::fread(bytes->data(), 1, static_cast<std::size_t>(limit + 1), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    bytes->resize(static_cast<qsizetype>(n));
    return failed ? QString::fromLocal8Bit(std::strerror(EIO)) : QString();
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

namespace {
// Qt 6.4's GStreamer player can crash in its own destructor when the decoder's pads go while
// its outputs are being torn down; an empty source takes the decoder out while it is whole.
void releasePipeline(QMediaPlayer* media) {
    media->setSource(QUrl());
}
}  // namespace

void NativePlayer::replaceMedia() {
    // Every entry gets a media player of its own: reports of an entry left behind (a failing
    // stream sends several) then cannot reach the next one.
    if (media_) {
        media_->disconnect(this);
        media_->stop();
        releasePipeline(media_);
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
    media_->disconnect(this);  // nothing reaches a player that is going
    media_->stop();
    releasePipeline(media_);
}

void NativePlayer::open(const QString& target, bool autoStart, Source source,
                        const QByteArray& targetBytes) {
    ++generation_;
    if (listReply_) listReply_->abort();
    mediaLoaded_ = false;
    replaceMedia();
    source_ = source;
    listsOpened_ = 0;
    listBytes_ = 0;
    const QString address = target.trimmed();
    QByteArray pathBytes = targetBytes.trimmed();
    if (pathBytes.startsWith("file://")) pathBytes.remove(0, 7);
    // A page that names one song (the card) shows that song's title, as list entries do.
    entries_ = {Entry{address, titles_.value(address), 1, source == Source::Network,
                      isLocal(address) ? pathBytes : QByteArray()}};
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
    constexpr qint64 kHead = 4096;
    QByteArray head;
    if (!readLocal(openPath(entry.address, entry.pathBytes), kHead, &head).isEmpty()) return named;
    const bool whole = head.size() <= kHead;
    head.truncate(kHead);
    return sniffedKindOf(std::string_view(head.constData(), static_cast<std::size_t>(head.size())),
                         whole);
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
    if (current.networkNamed && !core::isWebAddress(current.address.toStdString())) {
        failCurrent(
            tr("网络上的地址指向本机文件或不是网络地址，不予打开：%1").arg(current.address));
        return;
    }
    current.kind = kindOf(current);
    const Entry entry = current;
    if (entry.kind != EntryKind::Media) {
        if (listsOpened_ >= kMaxListsPerPlay || listBytes_ >= kMaxTreeBytes) {
            dropUnopenedLists();
            return;
        }
        emit changed();
        startList(entry);
        return;
    }
    if (isLocal(entry.address)) {
        const QByteArray path = openPath(entry.address, entry.pathBytes);
        if (!isFileAt(path)) {
            failCurrent(tr("无法播放“%1”：找不到文件").arg(title()));
            return;
        }
        replaceMedia();
        if (core::isValidUtf8(std::string_view(path.constData(), path.size()))) {
            media_->setSource(QUrl::fromLocalFile(QFile::decodeName(path)));
        } else {
            // Qt knows file names as text; a name that is not UTF-8 is opened by its bytes.
            auto* file = new QFile(media_);
            const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
            if (fd < 0 || !file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
                if (fd >= 0) ::close(fd);
                failCurrent(tr("无法播放“%1”：%2")
                                .arg(title(), QString::fromLocal8Bit(std::strerror(errno))));
                return;
            }
            media_->setSourceDevice(file, QUrl(fileNameOf(entry.address)));
        }
    } else {
        const QUrl url(entry.address, QUrl::TolerantMode);
        static const QStringList kSchemes = {QStringLiteral("http"), QStringLiteral("https"),
                                             QStringLiteral("rtsp"), QStringLiteral("mms"),
                                             QStringLiteral("mmsh")};
        if (!url.isValid() || !kSchemes.contains(url.scheme().toLower())) {
            failCurrent(tr("无法播放“%1”：不支持的地址").arg(title()));
            return;
        }
        replaceMedia();
        media_->setSource(url);
    }
    mediaLoaded_ = true;
    if (state_ == State::Playing) media_->play();
    emit changed();
}

void NativePlayer::dropUnopenedLists() {
    const auto from = entries_.begin() + index_;
    entries_.erase(std::remove_if(from, entries_.end(),
                                  [](const Entry& e) {
                                      return entryKindOf(e.address.toStdString()) !=
                                             EntryKind::Media;
                                  }),
                   entries_.end());
    message_ = tr("这次播放已读了%1个列表（共%2 KB），其余的列表不再打开")
                   .arg(listsOpened_)
                   .arg(listBytes_ / 1024);
    emit changed();
    if (index_ < entryCount()) {
        startCurrent();
        return;
    }
    finished_ = true;
    setState(State::Stopped);
}

void NativePlayer::startList(const Entry& entry) {
    const quint64 generation = generation_;
    ++listsOpened_;
    const qint64 limit = qMin(kMaxListBytes, kMaxTreeBytes - listBytes_);
    if (isLocal(entry.address)) {
        QByteArray bytes;
        const QString error = readLocal(openPath(entry.address, entry.pathBytes), limit, &bytes);
        takeList(generation, bytes,
                 error.isEmpty() && bytes.size() > limit ? tr("列表过大") : error);
        return;
    }
    QNetworkRequest request(QUrl(entry.address, QUrl::TolerantMode));
    request.setTransferTimeout(kListTimeoutMs);
    // Redirects stay on http and https.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = network_->get(request);
    listReply_ = reply;
    auto tooLarge = std::make_shared<bool>(false);
    connect(reply, &QNetworkReply::downloadProgress, reply,
            [reply, tooLarge, limit](qint64 received, qint64) {
                if (received <= limit || *tooLarge) return;
                *tooLarge = true;
                reply->abort();
            });
    connect(reply, &QNetworkReply::finished, this, [this, reply, generation, tooLarge, limit] {
        reply->deleteLater();
        if (listReply_ == reply) listReply_ = nullptr;
        const QByteArray bytes = reply->read(limit + 1);
        QString error;
        if (*tooLarge || bytes.size() > limit) {
            error = tr("列表过大");
        } else if (reply->error() != QNetworkReply::NoError) {
            error = reply->errorString();
        }
        takeList(generation, bytes, error);
    });
}

void NativePlayer::takeList(quint64 generation, const QByteArray& bytes, const QString& error) {
    if (generation != generation_ || index_ < 0 || index_ >= entryCount()) return;
    listBytes_ += bytes.size();
    const Entry list = entries_[static_cast<std::size_t>(index_)];
    if (!error.isEmpty()) {
        failCurrent(tr("无法读取列表“%1”：%2").arg(title(), error));
        return;
    }
    QString note;
    std::vector<Entry> children = childrenOf(list, bytes, &note);
    if (children.empty()) {
        failCurrent(note.isEmpty() ? tr("列表“%1”中没有可播放的地址").arg(title()) : note);
        return;
    }
    const auto at = entries_.begin() + index_;
    entries_.insert(entries_.erase(at), children.begin(), children.end());
    if (!note.isEmpty()) message_ = note;
    startCurrent();
}

std::vector<NativePlayer::Entry> NativePlayer::childrenOf(const Entry& list,
                                                          const QByteArray& bytes,
                                                          QString* note) const {
    const std::vector<ListEntry> named = listEntries(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), list.kind);
    const bool fromNetwork = !isLocal(list.address);
    // Entries of a list from the network, and of the working list the program wrote from
    // result rows, were named by the network.
    const bool networkNamed =
        list.networkNamed || fromNetwork || (list.depth == 1 && source_ == Source::ProgramList);
    const QByteArray listPath = fromNetwork ? QByteArray() : openPath(list.address, list.pathBytes);
    std::vector<Entry> children;
    int notWeb = 0;
    int tooDeep = 0;
    const int room = kMaxEntries - entryCount() + 1;
    for (const ListEntry& e : named) {
        if (static_cast<int>(children.size()) >= room) break;
        const QString text = QString::fromStdString(e.address);
        Entry child{{}, {}, list.depth + 1, networkNamed, {}};
        if (fromNetwork) {
            child.address = resolvedAgainstNetwork(list.address, text);
        } else {
            child.address = resolvedAgainstFile(list.address, text);
            if (isLocal(child.address)) child.pathBytes = resolvedBytes(listPath, e.bytes);
        }
        if (child.address.isEmpty() ||
            (networkNamed && !core::isWebAddress(child.address.toStdString()))) {
            ++notWeb;
            continue;
        }
        if (entryKindOf(child.address.toStdString()) != EntryKind::Media &&
            child.depth > kMaxListDepth) {
            ++tooDeep;
            continue;
        }
        child.title = titles_.value(child.address, list.title);
        children.push_back(std::move(child));
    }
    QStringList why;
    if (notWeb > 0) why << tr("%1个地址指向本机文件或不是网络地址，不予打开").arg(notWeb);
    if (tooDeep > 0) why << tr("%1个列表嵌套超过三层，不再打开").arg(tooDeep);
    if (!why.isEmpty()) *note = tr("列表“%1”中").arg(title()) + why.join(u'；');
    return children;
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
