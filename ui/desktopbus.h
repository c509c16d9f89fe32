#pragma once
// The desktop's services on the session bus: notifications (org.freedesktop.Notifications),
// the file manager (org.freedesktop.FileManager1) and the task bar entry's progress (the
// com.canonical.Unity.LauncherEntry signal that docks and task bars read). Every call is
// asynchronous and nothing waits for an answer; without a bus, or without a service, nothing
// is shown (the file manager's caller gets its fallback).
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace melorin::ui {

class DesktopBus : public QObject {
    Q_OBJECT
public:
    // The desktop file the task bar entry and the notifications name.
    static constexpr const char* kDesktopEntry = "melorin";
    static constexpr const char* kLauncherEntryPath = "/com/canonical/unity/launcherentry/melorin";
    static constexpr int kFileManagerTimeoutMs = 5000;

    explicit DesktopBus(const QDBusConnection& bus, QObject* parent = nullptr);

    // Replaces the notification shown before, if it is still there. A click on it (its
    // default action) runs `activated`.
    void notify(const QString& summary, const QString& body, std::function<void()> activated);
    // `fallback` runs when no file manager took the call.
    void showItem(const QString& path, std::function<void()> fallback);
    void showTaskProgress(std::optional<double> progress);

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

private:
    QDBusConnection bus_;
    uint shownId_ = 0;  // the notification on screen; 0: none
    std::function<void()> activated_;
};

}  // namespace melorin::ui
