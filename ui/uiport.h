#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QMessageBox;
class QWidget;

namespace melorin::ui {

// A repeating timer the window owns (the one-second progress timer). Tests fire it by hand.
class Ticker : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void start() = 0;
    virtual void stop() = 0;
    [[nodiscard]] virtual bool isActive() const = 0;
signals:
    void tick();
};

// What a save dialog with several filters answered: the file and the filter it was chosen
// under. An empty path: the user cancelled.
struct SaveChoice {
    QString path;
    QString filter;
};

// Everything that would block on the user or reach outside the window goes through this port,
// so that tests can record a message instead of waiting on a real dialog.
class UiPort {
public:
    virtual ~UiPort() = default;
    // A plain message box (no icon) with an OK button.
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    // A warning box with Yes and No; true for yes.
    virtual bool askYesNo(QWidget* parent, const QString& text) = 0;
    // File dialogs. A filter is Qt's "description (patterns);;..." (core/filefilter.h); the
    // dialog shows each description as written. Empty when the user cancels.
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& filter) = 0;
    // `proposal`: the folder, or the file, the dialog starts with (a bare name: in the current
    // folder). The dialog adds no extension and never changes the name for a picked filter.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& proposal,
                                 const QString& filter) = 0;
    // The same with several filters; the first is chosen at the start.
    virtual SaveChoice saveFileChoice(QWidget* parent, const QString& caption,
                                      const QString& proposal, const QStringList& filters) = 0;
    // The desktop's default handler for an http or https address; false for any other address
    // (see core/webaddress.h) or when no handler took it.
    virtual bool openAddress(const QString& address) = 0;
    virtual std::unique_ptr<Ticker> createTicker(QObject* parent, int intervalMs) = 0;
};

// The boxes DesktopUiPort shows, built but not shown: a plain one with OK, or a warning with
// Yes and No. Titled with the application's name, in a plain dialog frame wide enough for it.
enum class BoxKind { Plain, YesNoWarning };
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, BoxKind kind, const QString& text);

// The real dialogs, message boxes and timers.
class DesktopUiPort final : public UiPort {
public:
    void showMessage(QWidget* parent, const QString& text) override;
    bool askYesNo(QWidget* parent, const QString& text) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& folder,
                         const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& proposal,
                         const QString& filter) override;
    SaveChoice saveFileChoice(QWidget* parent, const QString& caption, const QString& proposal,
                              const QStringList& filters) override;
    bool openAddress(const QString& address) override;
    std::unique_ptr<Ticker> createTicker(QObject* parent, int intervalMs) override;
};

}  // namespace melorin::ui
