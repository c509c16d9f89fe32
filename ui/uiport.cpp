#include "ui/uiport.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>

#include "core/webaddress.h"
#include "ui/desktopbus.h"

namespace melorin::ui {
namespace {

class QtTicker final : public Ticker {
public:
    QtTicker(QObject* parent, int intervalMs) : Ticker(parent), timer_(this) {
        timer_.setInterval(intervalMs);
        connect(&timer_, &QTimer::timeout, this, &Ticker::tick);
    }
    void start() override { timer_.start(); }
    void stop() override { timer_.stop(); }
    [[nodiscard]] bool isActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

// Only absolute paths of plain files reach the desktop, never a link or a folder by that name.
bool isPlainFile(const QString& path) {
    const QFileInfo info(path);
    return info.isAbsolute() && info.isFile() && !info.isSymLink();
}

}  // namespace

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, BoxKind kind, const QString& text) {
    const bool question = kind == BoxKind::YesNoWarning;
    auto box = std::make_unique<QMessageBox>(
        question ? QMessageBox::Warning : QMessageBox::NoIcon, QApplication::applicationName(),
        text, question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    return box;
}

void DesktopUiPort::showMessage(QWidget* parent, const QString& text) {
    makeMessageBox(parent, BoxKind::Plain, text)->exec();
}

bool DesktopUiPort::askYesNo(QWidget* parent, const QString& text) {
    return makeMessageBox(parent, BoxKind::YesNoWarning, text)->exec() == QMessageBox::Yes;
}

QString DesktopUiPort::openFileName(QWidget* parent, const QString& caption, const QString& folder,
                                    const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

QString DesktopUiPort::saveFileName(QWidget* parent, const QString& caption, const QString& folder,
                                    const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, folder, filter);
}

SaveChoice DesktopUiPort::saveFileChoice(QWidget* parent, const QString& caption,
                                         const QString& proposal, const QStringList& filters) {
    SaveChoice choice;
    choice.filter = filters.value(0);
    choice.path = QFileDialog::getSaveFileName(parent, caption, proposal,
                                               filters.join(QStringLiteral(";;")), &choice.filter);
    return choice;
}

bool DesktopUiPort::openAddress(const QString& address) {
    // Addresses come from the network: only web addresses reach the desktop's handlers, never
    // a local program, a .desktop file or a custom scheme.
    if (!core::isWebAddress(address.toStdString())) return false;
    return QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
}

std::unique_ptr<Ticker> DesktopUiPort::createTicker(QObject* parent, int intervalMs) {
    return std::make_unique<QtTicker>(parent, intervalMs);
}

DesktopUiPort::DesktopUiPort() = default;
DesktopUiPort::~DesktopUiPort() = default;

DesktopBus& DesktopUiPort::bus() {
    if (!bus_) bus_ = std::make_unique<DesktopBus>(QDBusConnection::sessionBus());
    return *bus_;
}

void DesktopUiPort::popUpMenu(QMenu& menu, const QPoint& globalPos) {
    menu.exec(globalPos);
}

bool DesktopUiPort::openFile(const QString& path) {
    if (!isPlainFile(path)) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopUiPort::showInFolder(const QString& path) {
    if (!isPlainFile(path)) return;
    const QString folder = QFileInfo(path).absolutePath();
    bus().showItem(path, [folder] { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); });
}

void DesktopUiPort::notify(const QString& summary, const QString& body,
                           std::function<void()> activated) {
    bus().notify(summary, body, std::move(activated));
}

void DesktopUiPort::showTaskProgress(std::optional<double> progress) {
    bus().showTaskProgress(progress);
}

}  // namespace melorin::ui
