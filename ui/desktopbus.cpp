#include "ui/desktopbus.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QUrl>
#include <QVariantMap>

namespace melorin::ui {
namespace {

const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");
const QString kNotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kFileManager = QStringLiteral("org.freedesktop.FileManager1");
const QString kFileManagerPath = QStringLiteral("/org/freedesktop/FileManager1");
const QString kLauncherEntry = QStringLiteral("com.canonical.Unity.LauncherEntry");
const QString kDefaultAction = QStringLiteral("default");

}  // namespace

DesktopBus::DesktopBus(const QDBusConnection& bus, QObject* parent) : QObject(parent), bus_(bus) {
    if (!bus_.isConnected()) return;
    bus_.connect(kNotifications, kNotificationsPath, kNotifications,
                 QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
    bus_.connect(kNotifications, kNotificationsPath, kNotifications,
                 QStringLiteral("NotificationClosed"), this, SLOT(onClosed(uint, uint)));
}

void DesktopBus::notify(const QString& summary, const QString& body,
                        std::function<void()> activated) {
    if (!bus_.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(kNotifications, kNotificationsPath,
                                                       kNotifications, QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopEntry)},
        {QStringLiteral("category"), QStringLiteral("transfer.complete")},
    };
    // The body is plain text: servers that read markup must not take a title's "<" for a tag.
    QString plainBody = body.toHtmlEscaped();
    call << QStringLiteral("Melorin") << shownId_ << QString::fromLatin1(kDesktopEntry) << summary
         << plainBody << QStringList{kDefaultAction, QStringLiteral("显示窗口")} << hints
         << qint32(-1);
    activated_ = std::move(activated);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        // No service: nothing was shown, and nothing is said about it.
        if (!reply.isError()) shownId_ = reply.value();
    });
}

void DesktopBus::onActionInvoked(uint id, const QString& action) {
    if (id == 0 || id != shownId_ || action != kDefaultAction || !activated_) return;
    activated_();
}

void DesktopBus::onClosed(uint id, uint /*reason*/) {
    if (id != shownId_) return;
    shownId_ = 0;
    activated_ = nullptr;
}

void DesktopBus::showItem(const QString& path, std::function<void()> fallback) {
    if (!bus_.isConnected()) {
        fallback();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kFileManager, kFileManagerPath, kFileManager,
                                                       QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kFileManagerTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [fallback = std::move(fallback)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (w->isError()) fallback();
            });
}

void DesktopBus::showTaskProgress(std::optional<double> progress) {
    if (!bus_.isConnected()) return;
    QDBusMessage update = QDBusMessage::createSignal(QString::fromLatin1(kLauncherEntryPath),
                                                     kLauncherEntry, QStringLiteral("Update"));
    const QVariantMap properties{
        {QStringLiteral("progress"), progress.value_or(0.0)},
        {QStringLiteral("progress-visible"), progress.has_value()},
    };
    update << QStringLiteral("application://%1.desktop").arg(QString::fromLatin1(kDesktopEntry))
           << properties;
    bus_.send(update);
}

}  // namespace melorin::ui
