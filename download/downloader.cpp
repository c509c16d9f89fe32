#include "download/downloader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

#include "download/address.h"
#include "download/contentcheck.h"
#include "download/filename.h"
#include "download/queuefile.h"
#include "download/queuekeeper.h"

namespace melorin::download {
namespace {

constexpr std::array<std::pair<ProgressState, std::string_view>, 4> kProgressTexts{{
    {ProgressState::Running, "正在下载"},
    {ProgressState::Ended, "下载结束"},
    {ProgressState::Logged, "下载已经完成"},
    {ProgressState::Failed, "下载失败"},
}};

bool unfinished(RowState s) {
    return s == RowState::Waiting || s == RowState::Probing || s == RowState::Running;
}

// A row of this type is a web page on purpose; only then is an HTML answer the file.
bool wantsWebPage(const std::string& type) {
    std::string t = fileType(type);
    for (char& c : t) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return t == "html" || t == "htm";
}

}  // namespace

Downloader::Downloader(std::unique_ptr<Network> network) : network_(std::move(network)) {}

Downloader::~Downloader() {
    stopAll();
    keeper_.reset();  // its last write reads the rows
}

std::string_view progressText(ProgressState state) {
    for (const auto& [s, text] : kProgressTexts)
        if (s == state) return text;
    return {};
}

int Downloader::keepQueueIn(const std::string& path) {
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        if (in) text.assign(std::istreambuf_iterator<char>(in), {});
    }
    const DecodedQueue saved = decodeQueue(text);
    std::lock_guard lock(mutex_);
    if (keeper_) return 0;
    if (!text.empty() && !saved.known) {
        log("下载队列文件" + path + "无法读取，未放回任何下载");
    } else if (saved.damagedLines > 0) {
        log("下载队列文件" + path + "有" + std::to_string(saved.damagedLines) +
            "行已损坏，这些下载未能放回");
    }
    for (DownloadJob job : saved.rows) {
        job.savePath = distinctSavePath(job.savePath, savePathsExcept(-1));
        jobs_.push_back(std::move(job));
        states_.push_back(RowState::Waiting);
        unreached_.push_back(false);
    }
    keeper_ = std::make_unique<QueueKeeper>(
        path, [this] { return unfinishedJobs(); },
        [this](const std::string& error) {
            std::lock_guard lock(mutex_);
            log("下载队列无法保存：" + error);
        });
    if (!saved.rows.empty()) keeper_->changed();
    return static_cast<int>(saved.rows.size());
}

std::vector<DownloadJob> Downloader::unfinishedJobs() const {
    std::lock_guard lock(mutex_);
    std::vector<DownloadJob> rows;
    for (std::size_t r = 0; r < jobs_.size(); ++r)
        if (unfinished(states_[r]) || unreached_[r]) rows.push_back(jobs_[r]);
    return rows;
}

void Downloader::queueChanged() {
    if (keeper_) keeper_->changed();
}

int Downloader::addJob(DownloadJob job) {
    std::lock_guard lock(mutex_);
    job.savePath = distinctSavePath(job.savePath, savePathsExcept(-1));
    jobs_.push_back(std::move(job));
    states_.push_back(RowState::Waiting);
    unreached_.push_back(false);
    queueChanged();
    return static_cast<int>(jobs_.size()) - 1;
}

bool Downloader::removeJobs(std::vector<int> rows) {
    std::lock_guard lock(mutex_);
    if (passActive_ || anyFileOpen()) return false;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (*it < 0 || *it >= static_cast<int>(jobs_.size())) continue;
        // A removed row's received bytes can never be used again.
        if (states_[*it] != RowState::Finished) discardPart(jobs_[*it].savePath);
        jobs_.erase(jobs_.begin() + *it);
        states_.erase(states_.begin() + *it);
        unreached_.erase(unreached_.begin() + *it);
    }
    queueChanged();
    return true;
}

bool Downloader::clearJobs() {
    std::lock_guard lock(mutex_);
    if (passActive_ || anyFileOpen()) return false;
    for (std::size_t r = 0; r < jobs_.size(); ++r)
        if (states_[r] != RowState::Finished) discardPart(jobs_[r].savePath);
    jobs_.clear();
    states_.clear();
    unreached_.clear();
    queueChanged();
    return true;
}

bool Downloader::setSavePath(int row, std::string path) {
    std::lock_guard lock(mutex_);
    if (row < 0 || row >= static_cast<int>(jobs_.size()) || states_[row] != RowState::Waiting)
        return false;
    const std::string moved = distinctSavePath(path, savePathsExcept(row));
    // Bytes an earlier run received go along; the state names no path.
    const std::string& old = jobs_[row].savePath;
    if (moved != old && (::rename(partPathFor(old).c_str(), partPathFor(moved).c_str()) != 0 ||
                         ::rename(statePathFor(old).c_str(), statePathFor(moved).c_str()) != 0))
        discardPart(old);
    jobs_[row].savePath = moved;
    queueChanged();
    return true;
}

std::vector<int> Downloader::retarget(const std::vector<int>& rows, const std::string& folder) {
    std::vector<int> moved;
    if (folder.empty()) return moved;
    for (const int row : rows) {
        // A row already fetched keeps the path its file was written to (setSavePath refuses it).
        const DownloadJob j = job(row);
        if (setSavePath(row, savePathFor(folder, j.title, j.type))) moved.push_back(row);
    }
    return moved;
}

std::vector<DownloadJob> Downloader::jobs() const {
    std::lock_guard lock(mutex_);
    return jobs_;
}

DownloadJob Downloader::job(int row) const {
    std::lock_guard lock(mutex_);
    return row >= 0 && row < static_cast<int>(jobs_.size()) ? jobs_[row] : DownloadJob{};
}

bool Downloader::anyFileOpen() const {
    // runningWorkers_ drops with each worker's end, before its file's end takes the lock:
    // the slot stays busy until then.
    return runningWorkers_ > 0 ||
           std::any_of(slotBusy_.begin(), slotBusy_.end(), [](bool b) { return b; });
}

std::vector<std::string> Downloader::savePathsExcept(int row) const {
    std::vector<std::string> paths;
    paths.reserve(jobs_.size());
    for (int r = 0; r < static_cast<int>(jobs_.size()); ++r)
        if (r != row) paths.push_back(jobs_[r].savePath);
    return paths;
}

RowState Downloader::rowState(int row) const {
    std::lock_guard lock(mutex_);
    return row >= 0 && row < static_cast<int>(states_.size()) ? states_[row] : RowState::Waiting;
}

bool Downloader::start(const PassSettings& settings) {
    std::thread old;
    {
        std::lock_guard lock(mutex_);
        if (passActive_ || stopping_ || exitConfirmed_) return false;
        if (std::none_of(states_.begin(), states_.end(),
                         [](RowState s) { return s == RowState::Waiting; }))
            return false;
        passActive_ = true;
        old = std::move(pass_);
    }
    if (old.joinable()) old.join();  // the previous pass has already left its loop
    int rows = static_cast<int>(jobs().size());
    std::lock_guard lock(mutex_);
    DownloadEvent started;
    started.kind = DownloadEvent::Kind::PassStarted;
    push(std::move(started));
    pass_ = std::thread([this, settings, rows] { runPass(settings, rows); });
    return true;
}

bool Downloader::passRunning() const {
    std::lock_guard lock(mutex_);
    return passActive_;
}

bool Downloader::busy() const {
    std::lock_guard lock(mutex_);
    return passActive_ || std::any_of(states_.begin(), states_.end(),
                                      [](RowState s) { return s == RowState::Running; });
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

void Downloader::push(DownloadEvent e) {
    events_.push_back(std::move(e));
}

void Downloader::log(std::string line) {
    DownloadEvent e;
    e.kind = DownloadEvent::Kind::Log;
    e.text = std::move(line);
    push(std::move(e));
}

void Downloader::runPass(PassSettings settings, int rowCount) {
    for (int row = 0; row < rowCount; ++row) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_ || exitConfirmed_) break;
            if (states_[row] != RowState::Waiting) continue;
        }
        if (!runRow(row, settings)) break;
    }
    std::lock_guard lock(mutex_);
    probing_ = false;
    passActive_ = false;
    DownloadEvent e;
    e.kind = DownloadEvent::Kind::PassEnded;
    push(std::move(e));
}

bool Downloader::runRow(int row, const PassSettings& settings) {
    DownloadJob job;
    {
        std::lock_guard lock(mutex_);
        job = jobs_[row];
        probeRow_ = row;
        probing_ = true;
        skipCurrent_ = false;
        probeCancel_ = false;
        states_[row] = RowState::Probing;
    }
    // `unreached`: no answer came (no network, say); the row and its received bytes are kept
    // for a later run. Any other skip is a failure of the row.
    auto skip = [&](const std::string& reason, bool unreached) {
        std::lock_guard lock(mutex_);
        states_[row] = stopping_ ? RowState::Waiting : RowState::Skipped;
        if (!stopping_) {
            if (!reason.empty()) log(job.title + "不能下载：" + reason);
            unreached_[row] = unreached;
            if (!unreached) discardPart(job.savePath);
            queueChanged();
        }
        return !stopping_;
    };

    auto address = parseAddress(job.address);
    if (!address) return skip("下载地址无效", false);
    ProbeResult probe = network_->probe(address->url(), probeCancel_);
    // Status panel 0 shows the probe's count like any connection's, without a label.
    lastReport_ = static_cast<std::uint64_t>(kProbeTag) << 48 |
                  (static_cast<std::uint64_t>(std::max<std::int64_t>(probe.bodyBytes, 0)) &
                   ((std::uint64_t{1} << 48) - 1));
    {
        std::lock_guard lock(mutex_);
        if (skipCurrent_) {
            states_[row] = RowState::Skipped;  // the failure hook has logged it
            discardPart(job.savePath);
            queueChanged();
            return true;
        }
    }
    if (!probe.ok) return skip(probe.reason, probe.status == 0);
    // Is it really the song? An expired link often answers 200 with a web page.
    if (!wantsWebPage(job.type) && !isSongBody(sniffBody(probe.head, probe.contentType))) {
        std::lock_guard lock(mutex_);
        probing_ = false;
        states_[row] = RowState::Failed;
        discardPart(job.savePath);
        queueChanged();
        DownloadEvent failed;
        failed.kind = DownloadEvent::Kind::ProgressRowAdded;
        failed.progressRow = nextProgressRow_++;
        failed.queueRow = row;
        failed.state = ProgressState::Failed;
        failed.job = job;
        push(std::move(failed));
        log(job.title + "下载失败!服务器返回的是网页，不是歌曲文件");
        return true;
    }

    const int k = row % kSlots;
    std::unique_ptr<FileTransfer> previous;
    {
        std::unique_lock lock(mutex_);
        slotFreed_.wait(lock, [&] { return !slotBusy_[k] || stopping_ || skipCurrent_; });
        if (stopping_) {
            states_[row] = RowState::Waiting;
            return false;
        }
        if (skipCurrent_) {
            states_[row] = RowState::Skipped;
            discardPart(job.savePath);
            queueChanged();
            return true;
        }
        previous = std::move(transfers_[k]);
    }
    previous.reset();  // its workers have all ended; this joins their threads

    std::string savePath = job.savePath;
    PreparedPart prepared = preparePart(savePath, address->url(), probe.length, probe.validator);
    if (!prepared.error.empty()) {
        savePath = fallbackPathFor(settings.saveFolder, settings.searchText, row, job.type);
        prepared = preparePart(savePath, address->url(), probe.length, probe.validator);
    }
    const std::string& failure = prepared.error;
    FileOrder order;
    order.queueRow = row;
    order.slot = k;
    order.url = address->url();
    order.path = partPathFor(savePath);
    order.size = probe.length;
    order.plan = planSegments(probe.length, settings.workersPerFile);
    order.validator = probe.validator;
    order.statePath = statePathFor(savePath);
    order.received = prepared.received;
    const int workers = static_cast<int>(order.plan.segments.size());
    {
        std::lock_guard lock(mutex_);
        probing_ = false;
        if (!failure.empty()) {
            states_[row] = RowState::Failed;
            queueChanged();
            log(job.title + "下载失败!无法创建文件：" + failure);
            return false;
        }
        if (!prepared.note.empty()) log(job.title + "：" + prepared.note + "，从头下载");
        if (!prepared.received.empty()) {
            log(job.title + "：接着上次下载，已有" + std::to_string(rangeBytes(prepared.received)) +
                "字节");
        }
        for (auto& b : threadBytes_[k]) b = 0;
        slotSize_[k] = probe.length;
        slotWorkers_[k] = workers;
        connectedCount_ = workers;
        bool timerWasIdle = runningWorkers_ == 0;
        slotRunning_[k] += workers;
        runningWorkers_ += workers;
        slotBusy_[k] = true;
        slotRow_[k] = row;
        slotSavePath_[k] = savePath;
        int progressRow = nextProgressRow_++;
        slotProgressRow_[k] = progressRow;
        states_[row] = RowState::Running;

        DownloadEvent added;
        added.kind = DownloadEvent::Kind::ProgressRowAdded;
        added.progressRow = progressRow;
        added.queueRow = row;
        added.state = ProgressState::Running;
        added.job = job;
        push(std::move(added));
        DownloadEvent selected;
        selected.kind = DownloadEvent::Kind::QueueRowSelected;
        selected.queueRow = row;
        push(std::move(selected));
        if (timerWasIdle) {
            DownloadEvent timer;
            timer.kind = DownloadEvent::Kind::TimerStarted;
            push(std::move(timer));
        }
    }
    auto transfer = network_->start(order, *this);
    std::lock_guard lock(mutex_);
    transfers_[k] = std::move(transfer);
    if (stopping_) transfers_[k]->cancel();
    return true;
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

void Downloader::fileEnded(int slot, const FileOutcome& outcome) {
    if (slot < 0 || slot >= kSlots) return;
    {
        std::lock_guard lock(mutex_);
        const int row = slotRow_[slot];
        const std::string& savePath = slotSavePath_[slot];
        FileOutcome result = outcome;
        // Stopped by the close: the .part and its state stay, the row comes back next time.
        const bool interrupted = !result.complete && stopping_;
        if (result.complete) {
            std::string failure = completePart(savePath);
            if (!failure.empty()) result = {false, failure, result.note};
        } else if (!interrupted) {
            discardPart(savePath);  // an earlier file of the save path stays as it was
        }
        const bool rowExists = row >= 0 && row < static_cast<int>(jobs_.size());
        if (rowExists) {
            states_[row] = result.complete ? RowState::Finished
                           : interrupted   ? RowState::Waiting
                                           : RowState::Failed;
            queueChanged();
        }
        DownloadEvent status;
        status.kind = DownloadEvent::Kind::RowStatus;
        status.progressRow = slotProgressRow_[slot];
        status.queueRow = row;
        status.state = result.complete ? ProgressState::Ended : ProgressState::Failed;
        push(std::move(status));
        if (rowExists && !result.note.empty()) log(jobs_[row].title + "：" + result.note);
        if (rowExists && !result.complete && !interrupted)
            log(jobs_[row].title + "下载失败!" + result.reason);
        slotBusy_[slot] = false;
        if (runningWorkers_ == 0) {
            DownloadEvent timer;
            timer.kind = DownloadEvent::Kind::TimerStopped;
            push(std::move(timer));
        }
    }
    slotFreed_.notify_all();
}

}  // namespace melorin::download
