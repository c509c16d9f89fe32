#pragma once
// The player behind every player page: plays a target entry after entry on the native media
// stack (QMediaPlayer). A target is a play list (".rpm", ".ram", ".asx", read from disk or
// fetched over http, nested up to three deep) or one address. An entry that cannot be played
// leaves a message and the player goes on with the next.
//
// What the network names stays on the network: an entry of a list fetched over http is
// resolved against the list's address and opened only when it is an http or https address, at
// every depth; so are the entries of a list the program wrote from result rows, and a target
// that itself came from the network. One play opens at most kMaxListsPerPlay lists and reads at
// most kMaxTreeBytes of them, however the lists include each other.
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <vector>

#include "player/entrylist.h"

class QAudioOutput;
class QMediaPlayer;
class QNetworkAccessManager;
class QNetworkReply;

namespace melorin::player {

class NativePlayer : public QObject {
    Q_OBJECT
public:
    // What the user asked for; Playing also while an entry is still being fetched.
    enum class State { Stopped, Playing, Paused };
    Q_ENUM(State)

    static constexpr int kMaxListDepth = 3;
    static constexpr qint64 kMaxListBytes = 512 * 1024;
    static constexpr int kMaxListsPerPlay = 64;
    static constexpr qint64 kMaxTreeBytes = 8 * 1024 * 1024;

    // Who named the target.
    enum class Source {
        User,         // a file the user chose: its lists may name files of this computer
        ProgramList,  // a list the program wrote from result rows: its entries are the network's
        Network,      // the target itself came from the network (a card's song)
    };

    explicit NativePlayer(QObject* parent = nullptr);
    ~NativePlayer() override;

    // Titles of entries by address (the window's rows); other entries show their file name.
    void setTitles(QHash<QString, QString> titles) { titles_ = std::move(titles); }
    // Replaces what was loaded. `target`: "file://" + an absolute path (taken literally, as the
    // player pages write it), an absolute path, or a network address. `targetBytes`: the same
    // as a page's bytes named it, for a local name that is not UTF-8.
    void open(const QString& target, bool autoStart = true, Source source = Source::User,
              const QByteArray& targetBytes = {});

    void play();
    void pause();
    void playPause();
    void stop();
    void next();
    void previous();
    void seek(qint64 positionMs);
    void setVolume(int percent);  // 0 to 100

    [[nodiscard]] State state() const { return state_; }
    [[nodiscard]] qint64 position() const;
    [[nodiscard]] qint64 duration() const;
    [[nodiscard]] bool seekable() const;
    [[nodiscard]] int volume() const { return volume_; }
    [[nodiscard]] QString title() const;
    [[nodiscard]] QString message() const { return message_; }
    [[nodiscard]] QString entryAddress() const;
    // The entry that plays, 0-based, among the entries known so far (lists open as they come).
    [[nodiscard]] int entryIndex() const { return index_; }
    [[nodiscard]] int entryCount() const { return static_cast<int>(entries_.size()); }
    // Lists read since the last open(), from disk or the network.
    [[nodiscard]] int listsOpened() const { return listsOpened_; }

signals:
    void changed();  // state, entry, title, message, duration or volume
    void positionChanged(qint64 positionMs);
    void startedSounding();

private:
    struct Entry {
        QString address;
        QString title;                      // empty: the address's file name is shown
        int depth = 1;                      // 1: the target; a list's entries are one deeper
        bool networkNamed = false;          // only an http or https address is opened
        QByteArray pathBytes;               // a local entry's path as the page or list named it
        EntryKind kind = EntryKind::Media;  // by its name, or sniffed when the entry starts
    };

    // A list by its name; the page's own target on this computer also by its content.
    static EntryKind kindOf(const Entry& entry);
    void replaceMedia();
    void startCurrent();
    void startList(const Entry& entry);
    void takeList(quint64 generation, const QByteArray& bytes, const QString& error);
    [[nodiscard]] std::vector<Entry> childrenOf(const Entry& list, const QByteArray& bytes,
                                                QString* note) const;
    // Drops every list not yet opened: the play has read as many lists as it may.
    void dropUnopenedLists();
    void failCurrent(const QString& message);
    void advance();
    void onMediaStatus(int status);
    void onPlaybackState(int state);
    void setState(State state);

    QMediaPlayer* media_ = nullptr;
    QAudioOutput* audio_ = nullptr;
    QNetworkAccessManager* network_ = nullptr;
    QPointer<QNetworkReply> listReply_;
    Source source_ = Source::User;
    int listsOpened_ = 0;
    qint64 listBytes_ = 0;  // read by this play
    QHash<QString, QString> titles_;
    std::vector<Entry> entries_;
    int index_ = -1;
    State state_ = State::Stopped;
    int volume_ = 100;
    QString message_;
    bool mediaLoaded_ = false;  // the current entry is a source of media_
    bool finished_ = false;     // the last entry ended: play starts from the first
    quint64 generation_ = 0;    // answers and failures of an entry left behind are dropped
};

}  // namespace melorin::player
