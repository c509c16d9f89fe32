#include "ui/uiport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>

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

}  // namespace

void DesktopUiPort::showMessage(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
}

bool DesktopUiPort::askYesNo(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
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
    const QUrl url =
        address.startsWith(u'/') ? QUrl::fromLocalFile(address) : QUrl::fromUserInput(address);
    return QDesktopServices::openUrl(url);
}

std::unique_ptr<Ticker> DesktopUiPort::createTicker(QObject* parent, int intervalMs) {
    return std::make_unique<QtTicker>(parent, intervalMs);
}

}  // namespace melorin::ui
