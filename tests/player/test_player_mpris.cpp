// The desktop's media controls: the current player published as an MPRIS 2 player on a
// private session bus (the test runs itself under dbus-run-session). Calls go over the bus
// from a connection of their own, as a media key's would.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "player/mprisservice.h"
#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"
#include "tests/support/privatebus.h"

using namespace melorin::player;
using namespace Qt::StringLiterals;
using State = NativePlayer::State;

namespace {

const QString kPath = u"/org/mpris/MediaPlayer2"_s;
const QString kPlayer = u"org.mpris.MediaPlayer2.Player"_s;
const QString kProperties = u"org.freedesktop.DBus.Properties"_s;

bool sounds(const NativePlayer& p) {
    return p.state() == State::Playing && p.position() > 0;
}

}  // namespace

// Keeps every PropertiesChanged the player sends and passes its Seeked on.
class ChangeRecorder : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changes;
signals:
    void seeked(qlonglong positionUs);
public slots:
    void recordSeek(qlonglong positionUs) { emit seeked(positionUs); }
    void record(const QString& interface, const QVariantMap& changed, const QStringList&) {
        if (interface == kPlayer) changes.append(changed);
    }
};

class TestPlayerMpris : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "no session bus");
        QVERIFY(dir_.isValid());
        const QString audio = QStringLiteral(MELORIN_AUDIO_DIR);
        list_ = dir_.filePath(u"three.rpm"_s);
        QFile f(list_);
        QVERIFY(f.open(QIODevice::WriteOnly));
        for (const char* name : {"sample.mp3", "sample.wma", "sample.rm"})
            f.write("file://" + audio.toUtf8() + '/' + name + "\r\n");
        f.close();
        service_ = std::make_unique<MprisService>(coordinator_);
        QVERIFY(service_->isRegistered());
        QCOMPARE(service_->serviceName(), u"org.mpris.MediaPlayer2.melorin"_s);
        QVERIFY(client_.isConnected());
        QVERIFY(client_.connect(service_->serviceName(), kPath, kProperties, u"PropertiesChanged"_s,
                                &recorder_, SLOT(record(QString, QVariantMap, QStringList))));
    }

    void init() {
        player_ = std::make_unique<NativePlayer>();
        coordinator_.add(player_.get());
        player_->open(u"file://"_s + list_);
        QTRY_VERIFY_WITH_TIMEOUT(sounds(*player_), 30000);
        QTRY_COMPARE(get(u"PlaybackStatus"_s).toString(), u"Playing"_s);
        recorder_.changes.clear();
    }
    void cleanup() { player_.reset(); }

    void rootInterface() {
        QCOMPARE(get(u"Identity"_s, u"org.mpris.MediaPlayer2"_s).toString(), u"Melorin"_s);
        QCOMPARE(get(u"CanRaise"_s, u"org.mpris.MediaPlayer2"_s).toBool(), false);
        QCOMPARE(get(u"CanControl"_s).toBool(), true);
    }

    void playPauseOverTheBus() {
        QVERIFY(call(u"PlayPause"_s));
        QTRY_COMPARE(player_->state(), State::Paused);
        QCOMPARE(get(u"PlaybackStatus"_s).toString(), u"Paused"_s);
        QTRY_VERIFY(lastChange(u"PlaybackStatus"_s) == u"Paused"_s);
        const qint64 at = player_->position();
        bool moved = false;
        const QMetaObject::Connection watch =
            connect(player_.get(), &NativePlayer::positionChanged, this,
                    [&](qint64 now) { moved = moved || now != at; });
        QVERIFY(!QTest::qWaitFor([&] { return moved; }, 300));  // fails as soon as it moves
        disconnect(watch);
        QVERIFY(call(u"PlayPause"_s));
        QTRY_VERIFY_WITH_TIMEOUT(player_->position() > at, 5000);
        QCOMPARE(get(u"PlaybackStatus"_s).toString(), u"Playing"_s);
        QVERIFY(call(u"Stop"_s));
        QTRY_COMPARE(player_->state(), State::Stopped);
        QVERIFY(call(u"Play"_s));
        QTRY_VERIFY_WITH_TIMEOUT(sounds(*player_), 5000);
    }

    void nextOverTheBus() {
        QCOMPARE(metadata().value(u"xesam:title"_s).toString(), u"sample.mp3"_s);
        QCOMPARE(get(u"CanGoNext"_s).toBool(), true);
        QCOMPARE(get(u"CanGoPrevious"_s).toBool(), false);
        QVERIFY(call(u"Next"_s));
        QTRY_VERIFY_WITH_TIMEOUT(player_->entryIndex() == 1 && sounds(*player_), 10000);
        QTRY_COMPARE(metadata().value(u"xesam:title"_s).toString(), u"sample.wma"_s);
        QTRY_VERIFY(metadata().value(u"mpris:length"_s).toLongLong() > 3'000'000);
        QCOMPARE(get(u"CanGoPrevious"_s).toBool(), true);
        // Desktops learn of the new track from the change signal.
        QTRY_VERIFY(!recorder_.changes.isEmpty() &&
                    recorder_.changes.constLast().contains(u"Metadata"_s));
        QVERIFY(call(u"Previous"_s));
        QTRY_COMPARE(player_->entryIndex(), 0);
    }

    void seekOverTheBus() {
        QTRY_VERIFY(get(u"CanSeek"_s).toBool());
        QSignalSpy seeked(&recorder_, &ChangeRecorder::seeked);
        QVERIFY(client_.connect(service_->serviceName(), kPath, kPlayer, u"Seeked"_s, &recorder_,
                                SLOT(recordSeek(qlonglong))));
        const QString track = metadata().value(u"mpris:trackid"_s).value<QDBusObjectPath>().path();
        QVERIFY(track.startsWith(u"/org/melorin/track/"_s));
        // A position for another track is ignored.
        QDBusMessage m = message(kPlayer, u"SetPosition"_s);
        m << QVariant::fromValue(QDBusObjectPath(u"/org/melorin/track/9"_s))
          << qlonglong(3'000'000);
        QCOMPARE(send(m).type(), QDBusMessage::ReplyMessage);
        QVERIFY(!seeked.wait(200));
        QCOMPARE(seeked.size(), 0);
        QVERIFY(player_->position() < 2000);
        m = message(kPlayer, u"SetPosition"_s);
        m << QVariant::fromValue(QDBusObjectPath(track)) << qlonglong(2'500'000);
        QCOMPARE(send(m).type(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY(player_->position() >= 2500);
        QTRY_COMPARE(seeked.size(), 1);
        QCOMPARE(seeked.first().first().toLongLong(), 2'500'000);
    }

    void volumeOverTheBus() {
        QVERIFY(setProperty(u"Volume"_s, 0.5));
        QTRY_COMPARE(player_->volume(), 50);
        QCOMPARE(get(u"Volume"_s).toDouble(), 0.5);
    }

    // The bus acts on the player that started last.
    void followsTheCurrentPlayer() {
        NativePlayer other;
        coordinator_.add(&other);
        other.open(QStringLiteral("file://" MELORIN_AUDIO_DIR "/sample.asf"));
        QTRY_VERIFY_WITH_TIMEOUT(sounds(other), 30000);
        QCOMPARE(player_->state(), State::Paused);
        QTRY_COMPARE(metadata().value(u"xesam:title"_s).toString(), u"sample.asf"_s);
        QVERIFY(call(u"Pause"_s));
        QTRY_COMPARE(other.state(), State::Paused);
        QCOMPARE(player_->state(), State::Paused);
    }

    void secondInstanceGetsItsOwnName() {
        // Another program's connection, as a second Melorin would have.
        const QDBusConnection other =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"second-melorin"_s);
        {
            MprisService second(coordinator_, other);
            QVERIFY(second.isRegistered());
            QCOMPARE(second.serviceName(),
                     u"org.mpris.MediaPlayer2.melorin.instance"_s + QString::number(::getpid()));
            // The same connection cannot publish a second player, and the first keeps its name.
            MprisService third(coordinator_, other);
            QVERIFY(!third.isRegistered());
        }
        QCOMPARE(get(u"PlaybackStatus"_s).toString(), u"Playing"_s);
        QDBusConnection::disconnectFromBus(u"second-melorin"_s);
    }

    void withoutBusStaysOffSilently() {
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("XDG_RUNTIME_DIR", dir_.path().toUtf8());
        {
            MprisService off(coordinator_);
            QVERIFY(!off.isRegistered());
            QCOMPARE(off.playbackStatus(), u"Playing"_s);  // it still follows, unseen
        }
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        qputenv("XDG_RUNTIME_DIR", runtime);
        MprisService none(coordinator_, QDBusConnection(u"never-connected"_s));
        QVERIFY(!none.isRegistered());
    }

private:
    QDBusMessage message(const QString& interface, const QString& method) const {
        return QDBusMessage::createMethodCall(service_->serviceName(), kPath, interface, method);
    }

    // Sends and waits for the answer without blocking this thread, which serves the call.
    QDBusMessage send(const QDBusMessage& m) {
        QDBusPendingCallWatcher watcher(client_.asyncCall(m));
        QSignalSpy done(&watcher, &QDBusPendingCallWatcher::finished);
        if (!watcher.isFinished() && !done.wait(5000)) return {};
        return watcher.reply();
    }

    bool call(const QString& method) {
        const QDBusMessage reply = send(message(kPlayer, method));
        return reply.type() == QDBusMessage::ReplyMessage;
    }

    QVariant get(const QString& property, const QString& interface = kPlayer) {
        QDBusMessage m = message(kProperties, u"Get"_s);
        m << interface << property;
        const QDBusMessage reply = send(m);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
        return reply.arguments().first().value<QDBusVariant>().variant();
    }

    bool setProperty(const QString& property, const QVariant& value) {
        QDBusMessage m = message(kProperties, u"Set"_s);
        m << kPlayer << property << QVariant::fromValue(QDBusVariant(value));
        return send(m).type() == QDBusMessage::ReplyMessage;
    }

    QVariantMap metadata() {
        const QVariant v = get(u"Metadata"_s);
        return qdbus_cast<QVariantMap>(v.value<QDBusArgument>());
    }

    QString lastChange(const QString& property) const {
        for (auto it = recorder_.changes.crbegin(); it != recorder_.changes.crend(); ++it) {
            if (it->contains(property)) return it->value(property).toString();
        }
        return {};
    }

    QTemporaryDir dir_;
    QString list_;
    PlaybackCoordinator coordinator_;
    std::unique_ptr<MprisService> service_;
    std::unique_ptr<NativePlayer> player_;
    QDBusConnection client_ =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"mpris-test-client"_s);
    ChangeRecorder recorder_;
};

int main(int argc, char** argv) {
    melorin::testing::enterPrivateSessionBus(argc, argv);
    QGuiApplication app(argc, argv);
    TestPlayerMpris test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_player_mpris.moc"
