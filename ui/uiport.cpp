#include "ui/uiport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QSplitter>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "core/webaddress.h"

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

// Room a window manager's frame takes beside the title: the window's icon, its close button
// and their margins.
constexpr int kTitleBarExtras = 96;

// Qt's own dialog on every desktop, so that it behaves the same everywhere: the filters show
// their descriptions as written (each filter names its patterns once more at its end, where Qt
// reads them), and a save dialog adds no extension of its own.
void prepareFileDialog(QFileDialog& dialog, const QString& caption, const QString& filter) {
    dialog.setWindowTitle(caption);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(filter);
    // In proportion to the window it belongs to, so that it grows with a window fitted to a
    // larger screen as its texts do.
    if (const QWidget* window = dialog.parentWidget() ? dialog.parentWidget()->window() : nullptr)
        dialog.resize(
            dialog.sizeHint().expandedTo(QSize(window->width() * 4 / 5, window->height() * 3 / 5)));
    // The places beside the files as wide as their names.
    if (auto* places = dialog.findChild<QSplitter*>(QStringLiteral("splitter"))) {
        const int side = dialog.width() / 5;
        places->setSizes({side, dialog.width() - side});
    }
}

// Qt's dialog gives the offered or typed name the extension of a filter the user picks; the
// name stays as it was instead (the filter only chooses what the dialog lists). The name is
// noted at every input to the filter box, before the box acts on it.
class NameKeeper final : public QObject {
public:
    NameKeeper(QFileDialog& dialog, QLineEdit* name, QComboBox* filters)
        : QObject(&dialog), name_(name) {
        for (QObject* watched :
             {static_cast<QObject*>(filters), static_cast<QObject*>(filters->view()),
              static_cast<QObject*>(filters->view()->viewport())})
            watched->installEventFilter(this);
        connect(&dialog, &QFileDialog::filterSelected, this, [this] {
            if (name_->text() != before_) name_->setText(before_);
        });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::KeyPress:
            case QEvent::Wheel:
                before_ = name_->text();
                break;
            default:
                break;
        }
        return false;
    }

private:
    QLineEdit* name_;
    QString before_;
};

void keepNameAcrossFilters(QFileDialog& dialog) {
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* filters = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    if (name != nullptr && filters != nullptr) new NameKeeper(dialog, name, filters);
}

SaveChoice runSaveDialog(QWidget* parent, const QString& caption, const QString& proposal,
                         const QString& filter) {
    QFileDialog dialog(parent);
    prepareFileDialog(dialog, caption, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // A folder opens as it is; a file name opens in its folder (a bare name: the current one).
    const QFileInfo proposed(proposal);
    if (proposed.isDir()) {
        dialog.setDirectory(proposal);
    } else {
        if (proposal.contains(u'/')) dialog.setDirectory(proposed.absolutePath());
        dialog.selectFile(proposed.fileName());
    }
    keepNameAcrossFilters(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return {dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()};
}

}  // namespace

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, BoxKind kind, const QString& text) {
    const bool question = kind == BoxKind::YesNoWarning;
    auto box = std::make_unique<QMessageBox>(
        question ? QMessageBox::Warning : QMessageBox::NoIcon, QApplication::applicationName(),
        text, question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);  // a message may quote a path or a page's text
    // A plain dialog frame: a title and a close button, nothing to minimise or maximise.
    box->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowCloseButtonHint);
    // Wide enough for the whole title (frames draw it bold) beside the frame's icon and close
    // button.
    QFont titleFont = box->font();
    titleFont.setBold(true);
    const int titleRoom =
        QFontMetrics(titleFont).horizontalAdvance(box->windowTitle()) + kTitleBarExtras;
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        grid->addItem(new QSpacerItem(titleRoom, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
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
    QFileDialog dialog(parent);
    prepareFileDialog(dialog, caption, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!folder.isEmpty()) dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

QString DesktopUiPort::saveFileName(QWidget* parent, const QString& caption,
                                    const QString& proposal, const QString& filter) {
    return runSaveDialog(parent, caption, proposal, filter).path;
}

SaveChoice DesktopUiPort::saveFileChoice(QWidget* parent, const QString& caption,
                                         const QString& proposal, const QStringList& filters) {
    return runSaveDialog(parent, caption, proposal, filters.join(QStringLiteral(";;")));
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

}  // namespace melorin::ui
