// A pass over the queue, and the road of one row through it: probe, body check, slot wait,
// .part, start; then the end of its file, reported by the transfer.
#include <algorithm>
#include <utility>

#include "download/address.h"
#include "download/contentcheck.h"
#include "download/downloader.h"
#include "download/filename.h"

namespace melorin::download {
namespace {

// A row of this type is a web page on purpose; only then is an HTML answer the file.
bool wantsWebPage(const std::string& type) {
    std::string t = fileType(type);
    for (char& c : t) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return t == "html" || t == "htm";
}

std::uint64_t report(int tag, std::int64_t bytes) {
    constexpr std::uint64_t kMask = (std::uint64_t{1} << 48) - 1;
    return static_cast<std::uint64_t>(tag) << 48 |
           (static_cast<std::uint64_t>(std::max<std::int64_t>(bytes, 0)) & kMask);
}

}  // namespace

struct Downloader::RowRun {
    int row = 0;
    int slot = 0;
    DownloadJob job;
    std::string url;
    ProbeResult probe;
    std::string savePath;  // the file written: the row's own, or the fallback name
    PreparedPart part;
};

void Downloader::runPass(PassSettings settings) {
    while (const std::optional<int> row = takeNextRow()) runRow(*row, settings);
}

std::optional<int> Downloader::takeNextRow() {
    std::lock_guard lock(mutex_);
    for (int r = 0; r < rows_.size() && !stopping_ && !exitConfirmed_; ++r) {
        if (rows_[r].inPass) {
            rows_[r].inPass = false;
            return r;
        }
    }
    // Under the same lock as the look for a row: a file that starts again from zero either
    // finds this pass still taking rows or starts a pass of its own.
    probing_ = false;
    passActive_ = false;
    push(PassEnded{});
    return std::nullopt;
}

void Downloader::runRow(int row, const PassSettings& settings) {
    RowRun run;
    {
        std::lock_guard lock(mutex_);
        run.row = row;
        run.slot = row % kSlots;
        run.job = rows_[row].job;
        probeRow_ = row;
        probing_ = true;
        skipCurrent_ = false;
        probeCancel_ = false;
        rows_[row].state = RowState::Probing;
    }
    if (probeFile(run) && isSong(run) && waitForSlot(run) && preparePartFile(run, settings))
        startFile(run, settings);
}

void Downloader::settleRow(const RowRun& run, RowState state, const std::string& reason) {
    std::lock_guard lock(mutex_);
    if (stopping_) {
        rows_[run.row].state = RowState::Waiting;  // stopped by the close: it comes back
        return;
    }
    rows_[run.row].state = state;
    // A row that can never succeed has no use for what it received.
    if (state == RowState::Refused) discardPart(run.job.savePath);
    if (!reason.empty()) log(run.job.title + "不能下载：" + reason);
    queueChanged();
}

bool Downloader::probeFile(RowRun& run) {
    const std::optional<Address> address = parseAddress(run.job.address);
    if (!address) {
        settleRow(run, RowState::Refused, "下载地址无效");
        return false;
    }
    run.url = address->url();
    run.probe = network_->probe(run.url, probeCancel_);
    // Status panel 0 shows the probe's count like any connection's, without a label.
    lastReport_ = report(kProbeTag, run.probe.bodyBytes);
    bool skipped;
    {
        std::lock_guard lock(mutex_);
        skipped = skipCurrent_;
    }
    if (skipped) {
        settleRow(run, RowState::Skipped, {});  // the failure hook has logged it
    } else if (!run.probe.ok) {
        // No answer, or one a later attempt may mend: the row and its bytes stay for later.
        settleRow(run, run.probe.hopeless ? RowState::Refused : RowState::Failed, run.probe.reason);
    }
    return !skipped && run.probe.ok;
}

bool Downloader::isSong(RowRun& run) {
    // Is it really the song? An expired link often answers 200 with a web page.
    if (wantsWebPage(run.job.type) || isSongBody(sniffBody(run.probe.head, run.probe.contentType)))
        return true;
    std::lock_guard lock(mutex_);
    probing_ = false;
    rows_[run.row].state = RowState::Refused;
    discardPart(run.job.savePath);
    queueChanged();
    push(ProgressRowAdded{nextProgressRow_++, run.row, ProgressState::Failed, run.job});
    log(run.job.title + "下载失败!服务器返回的是网页，不是歌曲文件");
    return false;
}

bool Downloader::waitForSlot(RowRun& run) {
    std::unique_ptr<FileTransfer> previous;
    bool skipped = false;
    {
        std::unique_lock lock(mutex_);
        const int k = run.slot;
        slotFreed_.wait(lock, [&] {
            return (!slotBusy_[k] && !slotStarting_[k]) || stopping_ || skipCurrent_;
        });
        if (stopping_) {
            rows_[run.row].state = RowState::Waiting;
            return false;
        }
        skipped = skipCurrent_;
        if (!skipped) previous = std::move(transfers_[k]);
    }
    if (skipped) {
        settleRow(run, RowState::Skipped, {});
        return false;
    }
    previous.reset();  // its workers have all ended: this joins their threads, its .part goes free
    return true;
}

bool Downloader::preparePartFile(RowRun& run, const PassSettings& settings) {
    using Error = PreparedPart::Error;
    run.savePath = run.job.savePath;
    run.part = preparePart(run.savePath, run.url, run.probe.length, run.probe.validator);
    if (run.part.error == Error::CannotCreate) {
        // A name the file system will not take: the search text and the row number instead.
        run.savePath = fallbackPathFor(settings.saveFolder, settings.searchText, run.row,
                                       run.job.type, nameLimitFor(settings.saveFolder));
        run.part = preparePart(run.savePath, run.url, run.probe.length, run.probe.validator);
    }
    if (run.part.error == Error::None) return true;
    std::lock_guard lock(mutex_);
    probing_ = false;
    if (stopping_) {
        rows_[run.row].state = RowState::Waiting;
        return false;
    }
    rows_[run.row].state = RowState::Failed;
    queueChanged();
    const std::string what = run.part.error == Error::CannotCreate
                                 ? "无法创建文件：" + run.part.reason
                                 : run.part.reason;
    log(run.job.title + "下载失败!" + what);
    return false;
}

void Downloader::startFile(RowRun& run, const PassSettings& settings) {
    const int k = run.slot;
    FileOrder order;
    order.queueRow = run.row;
    order.slot = k;
    order.url = run.url;
    order.file = std::move(run.part.file);
    order.size = run.probe.length;
    order.plan = planSegments(run.probe.length, settings.workersPerFile);
    order.validator = run.probe.validator;
    order.statePath = statePathFor(run.savePath);
    order.received = run.part.received;
    const int workers = static_cast<int>(order.plan.segments.size());
    {
        std::lock_guard lock(mutex_);
        probing_ = false;
        const std::string& title = run.job.title;
        if (!run.part.note.empty()) log(title + "：" + run.part.note + "，从头下载");
        if (!order.received.empty()) {
            log(title + "：接着上次下载，已有" + std::to_string(rangeBytes(order.received)) +
                "字节");
        }
        for (auto& b : threadBytes_[k]) b = 0;
        slotSize_[k] = order.size;
        slotWorkers_[k] = workers;
        connectedCount_ = workers;
        const bool timerWasIdle = runningWorkers_ == 0;
        slotRunning_[k] += workers;
        runningWorkers_ += workers;
        slotBusy_[k] = true;
        slotStarting_[k] = true;
        slotRow_[k] = run.row;
        slotSavePath_[k] = run.savePath;
        const int progressRow = nextProgressRow_++;
        slotProgressRow_[k] = progressRow;
        rows_[run.row].state = RowState::Running;
        DownloadJob shown = run.job;
        shown.savePath = run.savePath;  // the log names the file actually written
        push(ProgressRowAdded{progressRow, run.row, ProgressState::Running, std::move(shown)});
        push(QueueRowSelected{run.row});
        if (timerWasIdle) push(TimerStarted{});
    }
    auto transfer = network_->start(order, *this);
    {
        std::lock_guard lock(mutex_);
        transfers_[k] = std::move(transfer);
        slotStarting_[k] = false;
        if (stopping_) transfers_[k]->cancel();
    }
    slotFreed_.notify_all();
}

void Downloader::fileEnded(int slot, const FileOutcome& outcome) {
    if (slot < 0 || slot >= kSlots) return;
    using Verdict = FileOutcome::Verdict;
    std::thread replacedPass;
    {
        std::lock_guard lock(mutex_);
        const int row = slotRow_[slot];
        const std::string savePath = slotSavePath_[slot];
        const int progressRow = slotProgressRow_[slot];
        FileOutcome result = outcome;
        // Stopped by the close: the .part and its state stay, the row comes back next time.
        const bool interrupted = !result.complete() && stopping_;
        if (result.complete()) {
            const CompletedPart done = completePart(savePath);
            if (!done.error.empty()) result = {Verdict::Failed, done.error, result.note};
            if (done.error.empty() && done.path != savePath) push(SavedAs{progressRow, done.path});
        }
        push(RowStatus{progressRow, row,
                       result.complete() ? ProgressState::Ended : ProgressState::Failed});
        if (rows_.has(row)) {
            QueueRow& r = rows_[row];
            const std::string& title = r.job.title;
            if (!result.note.empty()) log(title + "：" + result.note);
            if (result.complete()) {
                r.state = RowState::Finished;
            } else if (interrupted) {
                r.state = RowState::Waiting;
            } else if (result.verdict == Verdict::Changed && !r.restarted) {
                log(title + "：" + result.reason + "，从头下载");
                replacedPass = restartChangedFile(row, savePath);
            } else {
                // Received bytes stay for the next start, unless nothing can ever use them.
                r.state = result.verdict == Verdict::Refused ? RowState::Refused : RowState::Failed;
                if (r.state == RowState::Refused) discardPart(savePath);
                log(title + "下载失败!" + result.reason +
                    (result.verdict == Verdict::Changed ? "（已经从头下载过一次）" : ""));
            }
            queueChanged();
        }
        slotBusy_[slot] = false;
        if (runningWorkers_ == 0) push(TimerStopped{});
    }
    slotFreed_.notify_all();
    if (replacedPass.joinable()) replacedPass.join();
}

std::thread Downloader::restartChangedFile(int row, const std::string& savePath) {
    QueueRow& r = rows_[row];
    // The bytes on disk are of the file as it was: of no use any more.
    discardPart(savePath);
    r.state = RowState::Waiting;
    r.restarted = true;
    r.inPass = true;
    std::thread replaced;
    if (!passActive_ && !exitConfirmed_) {
        passActive_ = true;
        replaced = std::move(pass_);  // it has left its loop; joined by the caller
        pass_ = std::thread([this, settings = passSettings_] { runPass(settings); });
    }
    return replaced;
}

}  // namespace melorin::download
