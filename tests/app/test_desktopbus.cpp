// The desktop's services as the real port calls them, on a private session bus (the test runs
// itself under dbus-run-session): the notification message and its click, the file manager
// with its fallback, and the task bar entry's progress. The services are fakes of this test,
// each on a connection of its own, as the desktop's would be.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/privatebus.h"
#include "ui/desktopbus.h"
#include "ui/uiport.h"

using namespace Qt::StringLiterals;

namespace {
const QString kNotifications = u"org.freedesktop.Notifications"_s;
const QString kNotificationsPath = u"/org/freedesktop/Notifications"_s;
}  // namespace

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QList<QVariantList> calls;
public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int timeout) {
        calls.append({app, replaces, icon, summary, body, actions, hints, timeout});
        return 7;
    }
};

class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> shown;
public slots:
    void ShowItems(const QStringList& uris, const QString& /*startupId*/) { shown.append(uris); }
};

class LauncherRecorder : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> updates;
    QStringList apps;
public slots:
    void update(const QString& app, const QVariantMap& properties) {
        apps << app;
        updates << properties;
    }
};

class TestDesktopBus : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "no session bus");
        QVERIFY(services_.isConnected());
        QVERIFY(services_.registerService(kNotifications));
        QVERIFY(services_.registerObject(kNotificationsPath, &notifications_,
                                         QDBusConnection::ExportAllSlots));
        QVERIFY(dir_.isValid());
        song_ = dir_.filePath(u"歌 1.mp3"_s);
        QFile f(song_);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

    void notificationMessageAndClick() {
        int clicks = 0;
        port_.notify(u"下载结束"_s, u"2 个文件下载完毕，1 个下载失败"_s, [&] { ++clicks; });
        QTRY_COMPARE(notifications_.calls.size(), 1);
        const QVariantList& call = notifications_.calls[0];
        QCOMPARE(call[0].toString(), u"Melorin"_s);
        QCOMPARE(call[1].toUInt(), 0u);
        QCOMPARE(call[2].toString(), u"melorin"_s);
        QCOMPARE(call[3].toString(), u"下载结束"_s);
        QCOMPARE(call[4].toString(), u"2 个文件下载完毕，1 个下载失败"_s);
        QCOMPARE(call[5].toStringList(), (QStringList{u"default"_s, u"显示窗口"_s}));
        QCOMPARE(call[6].toMap().value(u"desktop-entry"_s).toString(), u"melorin"_s);
        QCOMPARE(call[7].toInt(), -1);

        // Only a click on this notification counts; one closed has no click any more.
        invoke(8, u"default"_s);
        invoke(7, u"other"_s);
        invoke(7, u"default"_s);
        QTRY_COMPARE(clicks, 1);
        // The next pass's notification replaces this one.
        port_.notify(u"下载结束"_s, u"1 个文件下载完毕"_s, [&] { clicks += 10; });
        QTRY_COMPARE(notifications_.calls.size(), 2);
        QCOMPARE(notifications_.calls[1][1].toUInt(), 7u);
        QDBusMessage closed =
            QDBusMessage::createSignal(kNotificationsPath, kNotifications, u"NotificationClosed"_s);
        closed << 7u << 2u;
        QVERIFY(services_.send(closed));
        invoke(7, u"default"_s);
        port_.notify(u"x"_s, u"y"_s, {});  // a round trip: the signals before it have arrived
        QTRY_COMPARE(notifications_.calls.size(), 3);
        QCOMPARE(clicks, 1);
    }

    void fileManagerOrItsFallback() {
        // No file manager on the bus: the folder is opened instead.
        melorin::ui::DesktopBus bus(QDBusConnection::sessionBus());
        int fallbacks = 0;
        bus.showItem(song_, [&] { ++fallbacks; });
        QTRY_COMPARE(fallbacks, 1);

        FakeFileManager manager;
        QVERIFY(services_.registerService(u"org.freedesktop.FileManager1"_s));
        QVERIFY(services_.registerObject(u"/org/freedesktop/FileManager1"_s, &manager,
                                         QDBusConnection::ExportAllSlots));
        port_.showInFolder(song_);
        QTRY_COMPARE(manager.shown.size(), 1);
        // A URI in its encoded form names the file whatever its name holds.
        QCOMPARE(manager.shown[0].size(), 1);
        QVERIFY(manager.shown[0][0].startsWith(u"file:///"_s));
        QVERIFY(!manager.shown[0][0].contains(u' '));
        QCOMPARE(QUrl(manager.shown[0][0], QUrl::StrictMode).toLocalFile(), song_);
        // A link, a folder or a relative path never reaches the desktop.
        const QString link = dir_.filePath(u"link.mp3"_s);
        QVERIFY(QFile::link(song_, link));
        port_.showInFolder(link);
        port_.showInFolder(dir_.path());
        port_.showInFolder(u"歌 1.mp3"_s);
        port_.showInFolder(song_);
        QTRY_COMPARE(manager.shown.size(), 2);
        QCOMPARE(manager.shown[1], manager.shown[0]);
        services_.unregisterObject(u"/org/freedesktop/FileManager1"_s);
        QVERIFY(services_.unregisterService(u"org.freedesktop.FileManager1"_s));
    }

    void taskBarProgress() {
        LauncherRecorder recorder;
        QVERIFY(services_.connect(QString(), QString(), u"com.canonical.Unity.LauncherEntry"_s,
                                  u"Update"_s, &recorder, SLOT(update(QString, QVariantMap))));
        port_.showTaskProgress(0.25);
        port_.showTaskProgress(std::nullopt);
        QTRY_COMPARE(recorder.updates.size(), 2);
        QCOMPARE(recorder.apps, (QStringList{u"application://melorin.desktop"_s,
                                             u"application://melorin.desktop"_s}));
        QCOMPARE(recorder.updates[0].value(u"progress"_s).toDouble(), 0.25);
        QCOMPARE(recorder.updates[0].value(u"progress-visible"_s).toBool(), true);
        QCOMPARE(recorder.updates[1].value(u"progress-visible"_s).toBool(), false);
    }

    void withoutABusNothingHappens() {
        melorin::ui::DesktopBus bus(QDBusConnection(u"not connected"_s));
        bus.notify(u"a"_s, u"b"_s, [] { QFAIL("clicked"); });
        bus.showTaskProgress(0.5);
        int fallbacks = 0;
        bus.showItem(song_, [&] { ++fallbacks; });
        QCOMPARE(fallbacks, 1);
    }

private:
    void invoke(uint id, const QString& action) {
        QDBusMessage signal =
            QDBusMessage::createSignal(kNotificationsPath, kNotifications, u"ActionInvoked"_s);
        signal << id << action;
        QVERIFY(services_.send(signal));
    }

    QDBusConnection services_ =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"desktop-services"_s);
    FakeNotifications notifications_;
    melorin::ui::DesktopUiPort port_;
    QTemporaryDir dir_;
    QString song_;
};

int main(int argc, char** argv) {
    melorin::testing::enterPrivateSessionBus(argc, argv);
    QApplication app(argc, argv);
    TestDesktopBus test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_desktopbus.moc"
