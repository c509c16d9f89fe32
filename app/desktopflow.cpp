// The desktop around the window: a finished download to the desktop's player or file manager,
// the pass's progress on the status bar and the task bar entry, and one notification when the
// pass has ended. The desktop calls go through the ui port; the rules are the download
// library's.

#include <QLabel>

#include "app/mainwindow.h"
#include "core/qtext.h"
#include "download/finishedfile.h"
#include "download/progressboard.h"
#include "ui/reportview.h"
#include "ui/uiport.h"

namespace melorin {

QString TForm1::finishedFileAt(const ui::ReportView* list, int row) const {
    std::optional<std::string> path;
    if (list == downloadView_.downloadlistview) path = downloader_->finishedFile(row);
    if (list == downloadView_.downloadnow) path = board_->finishedFile(row);
    return path ? fromUtf8(*path) : QString();
}

void TForm1::openFinishedFile(const QString& path) {
    const std::string file = path.toStdString();
    if (!download::isPlainLocalFile(file)) {
        logDownload(QStringLiteral("找不到文件：") + path);
    } else if (!download::isPlayableName(file)) {
        // Its type came from the network: only a player may get it.
        logDownload(QStringLiteral("不是音乐文件，没有打开：") + path);
    } else if (!ui_.openFile(path)) {
        logDownload(QStringLiteral("没有程序能打开：") + path);
    }
}

void TForm1::showFinishedFileInFolder(const QString& path) {
    if (!download::isPlainLocalFile(path.toStdString())) {
        logDownload(QStringLiteral("找不到文件：") + path);
        return;
    }
    ui_.showInFolder(path);
}

void TForm1::followPass(bool ended) {
    const download::PassTally tally = downloader_->passTally();
    statusBar_.passStatus->setText(fromUtf8(download::passStatusText(tally)));
    fitStatusPanels();  // a hidden panel's text asks its bar for no room
    if (!ended) {
        const int percent = download::passPercent(tally);
        if (percent != shownTaskPercent_) ui_.showTaskProgress(percent / 100.0);
        shownTaskPercent_ = percent;
        return;
    }
    passFollowed_ = false;
    shownTaskPercent_ = -1;
    ui_.showTaskProgress(std::nullopt);
    ui_.notify(QStringLiteral("下载结束"), fromUtf8(download::passSummary(tally)),
               [window = QPointer<TForm1>(this)] {
                   if (window != nullptr) window->bringToFront();
               });
}

void TForm1::bringToFront() {
    // From the tray, minimised or rolled up alike; the download view shows what ended.
    restoreWindow();
    Button4Click();
}

}  // namespace melorin
