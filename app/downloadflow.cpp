// The download handlers of the main window: the queue buttons, the start of a pass, the
// one-second display, the exit question's data and the failure hook. The rules live in the
// download library; these only move data between the controls and it.

#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <limits>

#include "app/controls.h"
#include "app/failureactions.h"
#include "app/logtime.h"
#include "app/mainwindow.h"
#include "app/progressmodel.h"
#include "app/selectdir.h"
#include "app/songrowmodel.h"
#include "core/qtext.h"
#include "download/filename.h"
#include "ui/reportview.h"
#include "ui/uiport.h"

namespace melorin {

namespace {

// How often the window looks for news from the pass and the workers while they run.
constexpr int kEventPollMs = 100;

// A search row as a queue row; none for a list entry, which has no size or type to copy.
std::optional<download::DownloadJob> jobFromSearchRow(const core::SongRow& row,
                                                      const QString& saveFolder) {
    if (!row.isFile()) return std::nullopt;
    const std::string folder = saveFolder.toStdString();
    return download::DownloadJob{
        row, download::savePathFor(folder, row.title, row.type, download::nameLimitFor(folder))};
}

const core::SongRow& queueRow(const download::DownloadJob& job) {
    return job;
}

int barValue(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, 0, std::numeric_limits<int>::max()));
}

std::string localDateTime() {
    return completionDateTime(QDateTime::currentDateTime(), QLocale()).toStdString();
}

}  // namespace

void TForm1::connectDownloadFlow() {
    board_ = std::make_unique<download::ProgressBoard>(
        [] { return std::chrono::steady_clock::now(); }, localDateTime);
    progressRows_->setBoard(*board_);
    eventPump_ = ui_.createTicker(this, kEventPollMs);
    connect(eventPump_.get(), &ui::Ticker::tick, this, &TForm1::drainDownloadEvents);
    connect(Timer1.get(), &ui::Ticker::tick, this, &TForm1::Timer1Timer);
    connect(playPanel_.dragdownbtn, &QToolButton::clicked, this, &TForm1::dragdownbtnClick);
    connect(downloadView_.delbtn, &QPushButton::clicked, this, &TForm1::delbtnClick);
    connect(downloadView_.delallbtn, &QPushButton::clicked, this, &TForm1::delallbtnClick);
    connect(downloadView_.SeSkinButton3, &QPushButton::clicked, this, &TForm1::SeSkinButton3Click);
    connect(searchBar_.SeSkinButton1, &QPushButton::clicked, this, &TForm1::SeSkinButton1Click);
    connect(downloadView_.downbtn, &QPushButton::clicked, this, &TForm1::downbtnClick);
    // Ctrl+A selects every row; the file viewed is the one the user selected last.
    downloadView_.downloadnow->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(downloadView_.downloadnow->selectionModel(), &QItemSelectionModel::selectionChanged,
            this, [this] {
                if (showingSelection_) return;
                const QList<int> rows = downloadView_.downloadnow->selectedRowIndexes();
                const int current =
                    downloadView_.downloadnow->modelRow(downloadView_.downloadnow->currentIndex());
                if (rows.isEmpty()) {
                    downloadnowSelectItem(std::nullopt);
                } else {
                    downloadnowSelectItem(rows.contains(current) ? current : rows.first());
                }
            });
}

void TForm1::restoreUnfinishedDownloads() {
    // The queue file lives in the program folder; each row's received bytes lie beside its
    // save path (".part" and ".part.state").
    const int back =
        downloader_->keepQueueIn((ProgramDir + QStringLiteral("downloads.queue")).toStdString());
    if (back > 0) {
        showQueue();
        logDownload(
            QStringLiteral("上次未完成的%1个下载已放回下载列表，按“开始下载”继续").arg(back));
    }
    drainDownloadEvents();  // a damaged queue file has its log line
}

void TForm1::dragdownbtnClick() {
    std::vector<core::SongRow> added;
    std::vector<std::string> paths;
    const auto selected = selectedResultsFor(core::RowAction::Download);
    for (const core::SongRow& row : selected.value_or(std::vector<core::SongRow>{})) {
        const std::optional<download::DownloadJob> job = jobFromSearchRow(row, SaveFolder);
        if (!job) continue;
        // The queue may number the save path: two rows never write one file.
        const download::DownloadJob queued = downloader_->job(downloader_->addJob(*job));
        added.push_back(queueRow(queued));
        paths.push_back(queued.savePath);
    }
    queueRows_->appendRows(added, paths);
    downloadView_.downloadlistview->fitColumns();
    Button4Click();
}

void TForm1::showQueue() {
    std::vector<core::SongRow> rows;
    std::vector<std::string> paths;
    for (const download::DownloadJob& job : downloader_->jobs()) {
        rows.push_back(queueRow(job));
        paths.push_back(job.savePath);
    }
    queueRows_->setRows(std::move(rows), std::move(paths));
    downloadView_.downloadlistview->fitColumns();
}

bool TForm1::removeSelectedJobs() {
    const QList<int> selected = downloadView_.downloadlistview->selectedRowIndexes();
    if (!downloader_->removeJobs(std::vector<int>(selected.begin(), selected.end()))) return false;
    if (!selected.isEmpty()) showQueue();
    return true;
}

void TForm1::delbtnClick() {
    // Rows are known by their index while files run; the button stays off until the pass has
    // ended.
    if (!removeSelectedJobs()) downloadView_.delbtn->setEnabled(false);
}

void TForm1::delallbtnClick() {
    if (!downloader_->clearJobs()) {
        downloadView_.delallbtn->setEnabled(false);
        return;
    }
    queueRows_->clear();
}

void TForm1::SeSkinButton3Click() {
    if (downloadView_.downloadlistview->selectedRowIndexes().isEmpty()) return;
    retargetRows = true;
    if (Form2 != nullptr) Form2->showChooser();
}

void TForm1::SeSkinButton1Click() {
    if (Form2 != nullptr) Form2->showChooser();
}

void TForm1::attachChooser(TForm2* chooser) {
    Form2 = chooser;
}

void TForm1::detachChooser(const TForm2* chooser) {
    if (Form2 == chooser) Form2 = nullptr;
}

void TForm1::applyChosenFolder(const QString& text) {
    if (retargetRows) {
        const QList<int> selected = downloadView_.downloadlistview->selectedRowIndexes();
        const std::vector<int> moved = downloader_->retarget(
            std::vector<int>(selected.begin(), selected.end()), text.toStdString());
        for (const int r : moved) queueRows_->setSavePath(r, downloader_->job(r).savePath);
        if (!moved.empty()) downloadView_.downloadlistview->fitColumns();
        retargetRows = false;
    } else if (!text.isEmpty()) {
        SaveFolder = text + u'/';
    }
}

void TForm1::downbtnClick() {
    download::PassSettings settings;
    settings.workersPerFile =
        std::clamp(functionPanel_.Edit2->text().trimmed().toInt(), 1, download::kMaxWorkersPerFile);
    settings.searchText = searchBar_.Edit1->text().trimmed().toStdString();
    settings.saveFolder = SaveFolder.toStdString();
    if (downloader_->start(settings)) {
        drainDownloadEvents();
        eventPump_->start();
    }
}

void TForm1::drainDownloadEvents() {
    // Decided before the events are taken: once idle, nothing is pushed after this take.
    const bool idle = !downloader_->busy();
    const std::vector<download::DownloadEvent> events = downloader_->takeEvents();
    if (!events.empty()) showBoardChanges(board_->apply(events));
    if (passFollowed_) followPass(idle);
    if (!idle) return;
    eventPump_->stop();
    // Rows are known by their index only while files run: once the pass has ended, the
    // removal buttons that refused during it work again.
    downloadView_.delbtn->setEnabled(true);
    downloadView_.delallbtn->setEnabled(true);
}

void TForm1::Timer1Timer() {
    drainDownloadEvents();
    if (!board_->timerRunning()) return;
    showBoardChanges(board_->tick(downloader_->snapshot()));
    statusBar_.statusPanels[0]->setText(fromUtf8(board_->reportPanel()));
    statusBar_.statusPanels[1]->setText(fromUtf8(board_->elapsedPanel()));
    statusBar_.statusPanels[2]->setText(fromUtf8(board_->fileSpeedPanel()));
    statusBar_.statusPanels[3]->setText(fromUtf8(board_->totalSpeedPanel()));
}

void TForm1::showBoardChanges(const download::ProgressBoard::Changes& changes) {
    if (changes.passStarted) passFollowed_ = true;
    progressRows_->show(changes);
    // Status texts change length ("下载已经完成"): the columns follow them.
    if (!changes.addedRows.empty() || !changes.changedRows.empty())
        downloadView_.downloadnow->fitColumns();
    for (int q : changes.selectedQueueRows) downloadView_.downloadlistview->selectRow(q);
    if (!changes.addedRows.empty()) {
        // The newest file is the one viewed; the board has already selected it.
        showingSelection_ = true;
        downloadView_.downloadnow->clearSelection();
        if (const auto sel = board_->selectedRow()) downloadView_.downloadnow->selectRow(*sel);
        showingSelection_ = false;
    }
    for (const std::string& line : changes.logLines) logDownload(fromUtf8(line));
    if (changes.barsChanged) showBars();
    if (changes.timerRunning && !Timer1->isActive()) Timer1->start();
    if (!changes.timerRunning && Timer1->isActive()) Timer1->stop();
}

void TForm1::showBars() {
    const auto& maxima = board_->barMaxima();
    const auto& positions = board_->barPositions();
    for (int j = 0; j < downloadView_.workerBars.size(); ++j) {
        // QProgressBar ignores values outside its range; the last segment is a little longer.
        const int max = std::max(1, barValue(maxima[static_cast<std::size_t>(j)]));
        downloadView_.workerBars[j]->setRange(0, max);
        controls::setBarValue(downloadView_.workerBars[j],
                              std::min(max, barValue(positions[static_cast<std::size_t>(j)])));
    }
}

void TForm1::downloadnowSelectItem(std::optional<int> row) {
    if (board_->select(row)) showBars();
}

void TForm1::logDownload(const QString& line) {
    DownloadLog.push_back(line);
    downloadView_.downinimemo->appendPlainText(line);
}

void TForm1::myexception(const Failure& failure) {
    if (downloadView_.downinimemo == nullptr) {
        std::fprintf(stderr, "melorin: %s\n", failure.text.c_str());
        return;
    }
    if (!downloader_ || !board_) {
        // Before the download manager exists there is nothing to act on; the log still says it.
        logDownload(fromUtf8(failure.text));
        return;
    }
    FailureContext context;
    const std::vector<download::DownloadJob> jobs = downloader_->jobs();
    context.queueRows = static_cast<int>(jobs.size());
    context.probeRow = downloader_->probeRow();
    context.probing = downloader_->probing();
    if (context.probeRow >= 0 && context.probeRow < context.queueRows) {
        context.probeRowCaption = jobs[static_cast<std::size_t>(context.probeRow)].caption;
        context.probeRowTitle = jobs[static_cast<std::size_t>(context.probeRow)].title;
    }
    const FailureActions actions = decideFailure(failure, context);
    for (const std::string& line : actions.logLines) logDownload(fromUtf8(line));
    if (actions.showFatalMessage) {
        ui_.showMessage(this, QString::fromUtf8(kFatalMessage));
        if (Form2 != nullptr) Form2->close();
        close();
    }
    if (actions.releaseSlot) downloader_->releaseSlot(*actions.releaseSlot);
    if (actions.skipProbeRow || actions.disconnectProbe) downloader_->skipProbeRow();
    if (actions.showDownloadPanel) Button4Click();
    drainDownloadEvents();
}

}  // namespace melorin
