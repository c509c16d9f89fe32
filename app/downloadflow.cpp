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

#include "app/logtime.h"
#include "app/mainwindow.h"
#include "app/selectdir.h"
#include "download/failureactions.h"
#include "download/filename.h"
#include "ui/reportview.h"
#include "ui/uiport.h"

namespace melorin {

namespace {

// How often the window looks for news from the pass and the workers while they run.
constexpr int kEventPollMs = 100;

// Columns of a queue row: caption, then title, address, size, type, save path.
constexpr int kSavePathColumn = 5;
// Columns of a progress row: title, status, seconds, queue row.
constexpr int kStatusColumn = 1;
constexpr int kSecondsColumn = 2;

QString fromUtf8(const std::string& s) {
    return QString::fromStdString(s);
}

// A search row as a queue row; none for a list entry, which has no size or type to copy.
std::optional<download::DownloadJob> jobFromSearchRow(const ui::ListRow& row,
                                                      const QString& saveFolder) {
    if (row.subItems.size() < 4) return std::nullopt;
    download::DownloadJob job;
    job.caption = row.caption.toStdString();
    job.icon = row.imageIndex;
    job.title = row.subItems[0].toStdString();
    job.address = row.subItems[1].toStdString();
    job.size = row.subItems[2].toStdString();
    job.type = row.subItems[3].toStdString();
    job.savePath = download::savePathFor(saveFolder.toStdString(), job.title, job.type);
    return job;
}

ui::ListRow queueRow(const download::DownloadJob& job) {
    return {fromUtf8(job.caption), job.icon,
            QStringList{fromUtf8(job.title), fromUtf8(job.address), fromUtf8(job.size),
                        fromUtf8(job.type), fromUtf8(job.savePath)}};
}

int barValue(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, 0, std::numeric_limits<int>::max()));
}

std::string localDateTime() {
    return completionDateTime(QDateTime::currentDateTime(), QLocale::system()).toStdString();
}

}  // namespace

void TForm1::connectDownloadFlow() {
    board_ = std::make_unique<download::ProgressBoard>(
        [] { return std::chrono::steady_clock::now(); }, localDateTime);
    eventPump_ = ui_.createTicker(this, kEventPollMs);
    connect(eventPump_.get(), &ui::Ticker::tick, this, &TForm1::drainDownloadEvents);
    connect(Timer1.get(), &ui::Ticker::tick, this, &TForm1::Timer1Timer);
    connect(dragdownbtn, &QToolButton::clicked, this, &TForm1::dragdownbtnClick);
    connect(delbtn, &QPushButton::clicked, this, &TForm1::delbtnClick);
    connect(delallbtn, &QPushButton::clicked, this, &TForm1::delallbtnClick);
    connect(SeSkinButton3, &QPushButton::clicked, this, &TForm1::SeSkinButton3Click);
    connect(SeSkinButton1, &QPushButton::clicked, this, &TForm1::SeSkinButton1Click);
    connect(downbtn, &QPushButton::clicked, this, &TForm1::downbtnClick);
    downloadnow->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(downloadnow->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (showingSelection_) return;
        const QList<int> rows = downloadnow->selectedRowIndexes();
        downloadnowSelectItem(rows.isEmpty() ? std::nullopt : std::optional<int>(rows.first()));
    });
}

void TForm1::restoreUnfinishedDownloads() {
    // The queue file lives in the program folder; each row's received bytes lie beside its
    // save path (".part" and ".part.state").
    const int back =
        downloader_->keepQueueIn((ProgramDir + QStringLiteral("downloads.queue")).toStdString());
    if (back > 0) {
        showQueue();
        downinimemo->appendPlainText(
            QStringLiteral("上次未完成的%1个下载已放回下载列表，按“开始下载”继续").arg(back));
    }
    drainDownloadEvents();  // a damaged queue file has its log line
}

void TForm1::dragdownbtnClick() {
    for (int r : ListView1->selectedRowIndexes()) {
        const std::optional<download::DownloadJob> job =
            jobFromSearchRow(ListView1->row(r), SaveFolder);
        if (!job) continue;
        // The queue may number the save path: two rows never write one file.
        downloadlistview->appendRow(queueRow(downloader_->job(downloader_->addJob(*job))));
    }
    downloadlistview->fitColumns();
    Button4Click();
}

void TForm1::showQueue() {
    downloadlistview->clearRows();
    for (const download::DownloadJob& job : downloader_->jobs())
        downloadlistview->appendRow(queueRow(job));
    downloadlistview->fitColumns();
}

void TForm1::delbtnClick() {
    const QList<int> selected = downloadlistview->selectedRowIndexes();
    if (!downloader_->removeJobs(std::vector<int>(selected.begin(), selected.end()))) {
        // Rows are known by their index while files run; the button stays off for the run.
        delbtn->setEnabled(false);
        return;
    }
    if (!selected.isEmpty()) showQueue();
}

void TForm1::delallbtnClick() {
    if (!downloader_->clearJobs()) {
        delallbtn->setEnabled(false);
        return;
    }
    downloadlistview->clearRows();
}

void TForm1::SeSkinButton3Click() {
    if (downloadlistview->selectedRowIndexes().isEmpty()) return;
    retargetRows = true;
    if (Form2 != nullptr) Form2->showChooser();
}

void TForm1::SeSkinButton1Click() {
    if (Form2 != nullptr) Form2->showChooser();
}

void TForm1::applyChosenFolder(const QString& text) {
    if (retargetRows) {
        // An empty text would put the files at the file-system root: the rows keep their paths.
        if (!text.isEmpty()) {
            for (int r : downloadlistview->selectedRowIndexes()) {
                const std::string path = download::savePathFor(
                    text.toStdString(), downloadlistview->subItem(r, 0).toStdString(),
                    downloadlistview->subItem(r, 3).toStdString());
                // A row already fetched keeps the path its file was written to.
                if (downloader_->setSavePath(r, path))
                    downloadlistview->topLevelItem(r)->setText(
                        kSavePathColumn, fromUtf8(downloader_->job(r).savePath));
            }
            downloadlistview->fitColumns();
        }
        retargetRows = false;
    } else if (!text.isEmpty()) {
        SaveFolder = text + u'/';
    }
}

void TForm1::downbtnClick() {
    download::PassSettings settings;
    settings.workersPerFile =
        std::clamp(Edit2->text().trimmed().toInt(), 1, download::kMaxWorkersPerFile);
    settings.searchText = Edit1->text().trimmed().toStdString();
    settings.saveFolder = SaveFolder.toStdString();
    if (downloader_->start(settings)) {
        drainDownloadEvents();
        eventPump_->start();
    }
}

void TForm1::drainDownloadEvents() {
    // Decided before the events are taken: once idle, nothing is pushed after this take.
    bool idle = !downloader_->passRunning();
    for (int r = 0, n = downloadlistview->rowCount(); idle && r < n; ++r)
        idle = downloader_->rowState(r) != download::RowState::Running;
    const std::vector<download::DownloadEvent> events = downloader_->takeEvents();
    if (!events.empty()) showBoardChanges(board_->apply(events));
    downloadState.runningWorkers = downloader_->snapshot().runningWorkers;
    downloadState.probeRow = downloader_->probeRow();
    if (idle) eventPump_->stop();
}

void TForm1::Timer1Timer() {
    drainDownloadEvents();
    if (!board_->timerRunning()) return;
    showBoardChanges(board_->tick(downloader_->snapshot()));
    statusPanels[0]->setText(fromUtf8(board_->reportPanel()));
    statusPanels[1]->setText(fromUtf8(board_->elapsedPanel()));
    statusPanels[2]->setText(fromUtf8(board_->fileSpeedPanel()));
    statusPanels[3]->setText(fromUtf8(board_->totalSpeedPanel()));
}

void TForm1::showBoardChanges(const download::ProgressBoard::Changes& changes) {
    const auto& rows = board_->rows();
    for (int r : changes.addedRows) {
        const download::ProgressRowView& row = rows[static_cast<std::size_t>(r)];
        downloadnow->appendRow(
            {fromUtf8(row.title),
             0,
             {fromUtf8(row.status), QString::number(row.seconds), QString::number(row.queueRow)}});
    }
    for (int r : changes.changedRows) {
        QTreeWidgetItem* item = downloadnow->topLevelItem(r);
        if (item == nullptr) continue;
        item->setText(kStatusColumn, fromUtf8(rows[static_cast<std::size_t>(r)].status));
        item->setText(kSecondsColumn, QString::number(rows[static_cast<std::size_t>(r)].seconds));
    }
    // Status texts change length ("下载已经完成"): the columns follow them.
    if (!changes.addedRows.empty() || !changes.changedRows.empty()) downloadnow->fitColumns();
    for (int q : changes.selectedQueueRows) {
        if (QTreeWidgetItem* item = downloadlistview->topLevelItem(q)) item->setSelected(true);
    }
    if (!changes.addedRows.empty()) {
        // The newest file is the one viewed; the board has already selected it.
        showingSelection_ = true;
        downloadnow->clearSelection();
        if (const auto sel = board_->selectedRow())
            downloadnow->topLevelItem(*sel)->setSelected(true);
        showingSelection_ = false;
    }
    for (const std::string& line : changes.logLines) downinimemo->appendPlainText(fromUtf8(line));
    if (changes.barsChanged) showBars();
    if (changes.timerRunning && !Timer1->isActive()) Timer1->start();
    if (!changes.timerRunning && Timer1->isActive()) Timer1->stop();
}

void TForm1::showBars() {
    const auto& maxima = board_->barMaxima();
    const auto& positions = board_->barPositions();
    for (int j = 0; j < workerBars.size(); ++j) {
        // QProgressBar ignores values outside its range; the last segment is a little longer.
        const int max = std::max(1, barValue(maxima[static_cast<std::size_t>(j)]));
        workerBars[j]->setRange(0, max);
        workerBars[j]->setValue(std::min(max, barValue(positions[static_cast<std::size_t>(j)])));
    }
}

void TForm1::downloadnowSelectItem(std::optional<int> row) {
    if (board_->select(row)) showBars();
}

void TForm1::myexception(const download::Failure& failure) {
    if (downinimemo == nullptr) {
        std::fprintf(stderr, "melorin: %s\n", failure.text.c_str());
        return;
    }
    if (!downloader_ || !board_) {
        // Before the download manager exists there is nothing to act on; the log still says it.
        downinimemo->appendPlainText(fromUtf8(failure.text));
        return;
    }
    download::FailureContext context;
    const std::vector<download::DownloadJob> jobs = downloader_->jobs();
    context.queueRows = static_cast<int>(jobs.size());
    context.probeRow = downloader_->probeRow();
    context.probing = downloader_->probing();
    if (context.probeRow >= 0 && context.probeRow < context.queueRows) {
        context.probeRowCaption = jobs[static_cast<std::size_t>(context.probeRow)].caption;
        context.probeRowTitle = jobs[static_cast<std::size_t>(context.probeRow)].title;
    }
    const download::FailureActions actions = download::decideFailure(failure, context);
    for (const std::string& line : actions.logLines) downinimemo->appendPlainText(fromUtf8(line));
    if (actions.showFatalMessage) {
        ui_.showMessage(this, QString::fromUtf8(download::kFatalMessage));
        if (Form2 != nullptr) Form2->close();
        close();
    }
    if (actions.releaseSlot) downloader_->releaseSlot(*actions.releaseSlot);
    if (actions.skipProbeRow || actions.disconnectProbe) downloader_->skipProbeRow();
    if (actions.showDownloadPanel) Button4Click();
    drainDownloadEvents();
}

}  // namespace melorin
