// The queue's side of the downloader: rows in and out, the queue file, the counters and the news
// for the window. The passes and the files' ends are in downloadpass.cpp.
#include "download/downloader.h"

#include <algorithm>
#include <utility>

#include "download/filename.h"
#include "download/queuefile.h"
#include "download/queuekeeper.h"

namespace melorin::download {

Downloader::Downloader(std::unique_ptr<Network> network) : network_(std::move(network)) {}

Downloader::~Downloader() {
    stopAll();
    keeper_.reset();  // its last write reads the rows
}

int Downloader::keepQueueIn(const std::string& path) {
    {
        std::lock_guard lock(mutex_);
        if (keeper_) return 0;
    }
    LoadedQueue saved = loadQueueFile(path);
    std::lock_guard lock(mutex_);
    if (!saved.logLine.empty()) log(saved.logLine);
    // The rows come back as they were saved: their .part files lie beside these paths. A file
    // that has appeared at a save path meanwhile is not replaced when the row completes.
    for (DownloadJob& job : saved.rows) rows_.add(std::move(job), false);
    if (!saved.writable) return static_cast<int>(saved.rows.size());
    keeper_ = std::make_unique<QueueKeeper>(
        path,
        [this] {
            std::lock_guard lock(mutex_);
            return rows_.keptJobs();
        },
        [this](const std::string& error) {
            std::lock_guard lock(mutex_);
            log("下载队列无法保存：" + error);
        });
    if (!saved.rows.empty()) keeper_->changed();
    return static_cast<int>(saved.rows.size());
}

void Downloader::queueChanged() {
    if (keeper_) keeper_->changed();
}

int Downloader::addJob(DownloadJob job) {
    std::lock_guard lock(mutex_);
    const int row = rows_.add(std::move(job), true);
    queueChanged();
    return row;
}

bool Downloader::removeJobs(std::vector<int> rows) {
    std::lock_guard lock(mutex_);
    if (passActive_ || anyFileOpen()) return false;
    rows_.remove(std::move(rows));
    queueChanged();
    return true;
}

bool Downloader::clearJobs() {
    std::lock_guard lock(mutex_);
    if (passActive_ || anyFileOpen()) return false;
    rows_.clear();
    queueChanged();
    return true;
}

bool Downloader::setSavePath(int row, std::string path) {
    std::lock_guard lock(mutex_);
    if (!rows_.has(row) || rows_[row].state != RowState::Waiting) return false;
    rows_.moveTo(row, path);
    queueChanged();
    return true;
}

std::vector<int> Downloader::retarget(const std::vector<int>& rows, const std::string& folder) {
    std::vector<int> moved;
    if (folder.empty()) return moved;
    const std::size_t limit = nameLimitFor(folder);
    for (const int row : rows) {
        // A row already fetched keeps the path its file was written to (setSavePath refuses it).
        const DownloadJob j = job(row);
        if (setSavePath(row, savePathFor(folder, j.title, j.type, limit))) moved.push_back(row);
    }
    return moved;
}

std::vector<DownloadJob> Downloader::jobs() const {
    std::lock_guard lock(mutex_);
    return rows_.jobs();
}

DownloadJob Downloader::job(int row) const {
    std::lock_guard lock(mutex_);
    return rows_.has(row) ? rows_[row].job : DownloadJob{};
}

RowState Downloader::rowState(int row) const {
    std::lock_guard lock(mutex_);
    return rows_.has(row) ? rows_[row].state : RowState::Waiting;
}

bool Downloader::anyFileOpen() const {
    // runningWorkers_ drops with each worker's end, before its file's end takes the lock:
    // the slot stays busy until then.
    return runningWorkers_ > 0 ||
           std::any_of(slotBusy_.begin(), slotBusy_.end(), [](bool b) { return b; });
}

bool Downloader::start(const PassSettings& settings) {
    std::thread old;
    {
        std::lock_guard lock(mutex_);
        if (passActive_ || stopping_ || exitConfirmed_) return false;
        bool any = false;
        for (int r = 0; r < rows_.size(); ++r) {
            QueueRow& row = rows_[r];
            row.inPass = row.state == RowState::Waiting || row.state == RowState::Failed;
            row.restarted = false;
            any = any || row.inPass;
        }
        if (!any) return false;
        passActive_ = true;
        passSettings_ = settings;
        old = std::move(pass_);
    }
    if (old.joinable()) old.join();  // the previous pass has already left its loop
    std::lock_guard lock(mutex_);
    push(PassStarted{});
    pass_ = std::thread([this, settings] { runPass(settings); });
    return true;
}

bool Downloader::passRunning() const {
    std::lock_guard lock(mutex_);
    return passActive_;
}

bool Downloader::busy() const {
    std::lock_guard lock(mutex_);
    if (passActive_) return true;
    for (int r = 0; r < rows_.size(); ++r)
        if (rows_[r].state == RowState::Running) return true;
    return false;
}

bool Downloader::exitQuestionNeeded() const {
    if (exitConfirmed_) return false;
    int running = 0;
    for (const auto& r : slotRunning_) running += r.load();
    return running > 0;
}

void Downloader::confirmExit() {
    exitConfirmed_ = true;
}

void Downloader::stopAll() {
    std::thread pass;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        probeCancel_ = true;
        for (auto& t : transfers_)
            if (t) t->cancel();
        pass = std::move(pass_);
    }
    slotFreed_.notify_all();
    if (pass.joinable()) pass.join();
    std::array<std::unique_ptr<FileTransfer>, kSlots> done;
    {
        std::lock_guard lock(mutex_);
        done = std::move(transfers_);
    }
    for (auto& t : done) t.reset();
    if (keeper_) keeper_->flush();  // the rows that ran are waiting again: they come back
}

void Downloader::releaseSlot(int slot) {
    if (slot < 0 || slot >= kSlots) return;
    std::lock_guard lock(mutex_);
    if (transfers_[slot]) transfers_[slot]->cancel();
}

void Downloader::skipProbeRow() {
    std::lock_guard lock(mutex_);
    if (!probing_) return;
    skipCurrent_ = true;
    probeCancel_ = true;
    slotFreed_.notify_all();
}

int Downloader::probeRow() const {
    std::lock_guard lock(mutex_);
    return probeRow_;
}

bool Downloader::probing() const {
    std::lock_guard lock(mutex_);
    return probing_;
}

std::vector<DownloadEvent> Downloader::takeEvents() {
    std::lock_guard lock(mutex_);
    return std::exchange(events_, {});
}

Counters Downloader::snapshot() const {
    Counters c;
    for (int k = 0; k < kSlots; ++k) {
        for (int j = 0; j < kMaxWorkersPerFile; ++j) c.threadBytes[k][j] = threadBytes_[k][j];
        c.slotSize[k] = slotSize_[k];
        c.slotWorkers[k] = slotWorkers_[k];
        c.slotRunning[k] = slotRunning_[k];
        c.slotProgressRow[k] = slotProgressRow_[k];
    }
    c.runningWorkers = runningWorkers_;
    c.connectedCount = connectedCount_;
    c.totalBytes = totalBytes_;
    std::uint64_t report = lastReport_;
    c.lastReportTag = static_cast<int>(report >> 48);
    c.lastReportBytes = static_cast<std::int64_t>(report & ((std::uint64_t{1} << 48) - 1));
    return c;
}

void Downloader::log(std::string line) {
    push(LogLine{std::move(line)});
}

void Downloader::workerBytes(int slot, int worker, std::int64_t bytesSoFar) {
    if (slot < 0 || slot >= kSlots || worker < 0 || worker >= kMaxWorkersPerFile) return;
    std::int64_t before = threadBytes_[slot][worker].exchange(bytesSoFar);
    totalBytes_ += bytesSoFar - before;
    auto tag = static_cast<std::uint64_t>(connectionTag(slot, worker));
    lastReport_ =
        tag << 48 | (static_cast<std::uint64_t>(bytesSoFar) & ((std::uint64_t{1} << 48) - 1));
}

void Downloader::workerEnded(int slot, int) {
    std::lock_guard lock(mutex_);
    --slotRunning_[slot];
    --runningWorkers_;
}

}  // namespace melorin::download
