#include "download/progressboard.h"

#include <algorithm>

namespace melorin::download {

std::string elapsedText(int seconds) {
    return "总耗时：" + std::to_string(seconds) + "秒";
}

std::int64_t kibPerSecond(std::int64_t deltaBytes, std::chrono::milliseconds interval) {
    if (deltaBytes <= 0) return 0;
    std::int64_t ms = interval.count() > 0 ? interval.count() : 1000;
    return deltaBytes * 1000 / ms / 1024;
}

std::string speedText(std::int64_t kib) {
    return std::to_string(kib) + "k/s";
}

std::string reportText(int tag, std::int64_t bytes) {
    auto slot = tagSlot(tag);
    auto worker = tagWorker(tag);
    if (!slot || !worker) return std::to_string(bytes);
    return "文件" + std::to_string(*slot + 1) + "线程" + std::to_string(*worker + 1) + "：" +
           std::to_string(bytes);
}

std::int64_t barMaximum(std::int64_t fileSize, int workers) {
    return workers > 0 ? fileSize / workers : 0;
}

int viewedSlot(std::optional<int> selectedQueueRow) {
    return selectedQueueRow && *selectedQueueRow >= 0 ? *selectedQueueRow % kSlots : 0;
}

bool fillsBarsOnSelect(ProgressState state) {
    return state == ProgressState::Ended || state == ProgressState::Logged;
}

std::vector<std::string> completionEntry(const std::string& dateTime, const DownloadJob& job,
                                         int seconds) {
    return {dateTime,
            job.title + "下载完毕!",
            "保存地址：" + job.savePath,
            "用时：" + std::to_string(seconds) + "秒",
            "下载地址：" + job.address,
            "文件大小：" + job.size};
}

ProgressBoard::ProgressBoard(Clock clock, DateTime dateTime)
    : clock_(std::move(clock)), dateTime_(std::move(dateTime)) {}

void ProgressBoard::logFinished(Changes& changes) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        auto& row = rows_[i];
        if (row.state != ProgressState::Ended) continue;
        row.state = ProgressState::Logged;
        auto lines = completionEntry(dateTime_(), row.job, row.seconds);
        changes.logLines.insert(changes.logLines.end(), lines.begin(), lines.end());
        changes.changedRows.push_back(static_cast<int>(i));
    }
}

namespace {
template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
template <typename... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;
}  // namespace

ProgressBoard::Changes ProgressBoard::apply(const std::vector<DownloadEvent>& events) {
    Changes c;
    const auto isRow = [this](int row) { return row >= 0 && row < static_cast<int>(rows_.size()); };
    const Overloaded handle{
        [&](const ProgressRowAdded& e) {
            rows_.push_back({e.job.title, e.state, 0, e.queueRow, e.job});
            c.addedRows.push_back(static_cast<int>(rows_.size()) - 1);
            select(static_cast<int>(rows_.size()) - 1);
            c.barsChanged = true;
        },
        [&](const RowStatus& e) {
            if (!isRow(e.progressRow)) return;
            rows_[e.progressRow].state = e.state;
            c.changedRows.push_back(e.progressRow);
            if (e.state == ProgressState::Ended && selected_ == e.progressRow) {
                barPos_ = barMax_;
                c.barsChanged = true;
            }
        },
        [&](const SavedAs& e) {
            if (isRow(e.progressRow)) rows_[e.progressRow].job.savePath = e.path;
        },
        [&](const LogLine& e) { c.logLines.push_back(e.text); },
        [&](const QueueRowSelected& e) { c.selectedQueueRows.push_back(e.queueRow); },
        [&](const TimerStarted&) {
            // Speeds are measured from the first tick of this run of the timer.
            if (!timerRunning_) ticked_ = false;
            timerRunning_ = true;
        },
        [&](const TimerStopped&) { timerRunning_ = false; },
        [&](const PassEnded&) { c.passEnded = true; },
        // Only a new pass restarts "总耗时"; the timer may stop and start within one.
        [&](const PassStarted&) { elapsedSeconds_ = 0; },
    };
    for (const DownloadEvent& e : events) std::visit(handle, e);
    // With the timer stopped no tick would log them; each entry is logged once.
    if (!timerRunning_) logFinished(c);
    c.timerRunning = timerRunning_;
    return c;
}

ProgressBoard::Changes ProgressBoard::tick(const Counters& counters) {
    Changes c;
    auto now = clock_();
    auto interval = ticked_ ? std::chrono::duration_cast<std::chrono::milliseconds>(now - lastTick_)
                            : std::chrono::milliseconds(1000);
    lastTick_ = now;
    ticked_ = true;

    panels_[1] = elapsedText(++elapsedSeconds_);
    panels_[0] = reportText(counters.lastReportTag, counters.lastReportBytes);
    panels_[3] = speedText(kibPerSecond(counters.totalBytes - lastTotal_, interval));
    lastTotal_ = counters.totalBytes;

    logFinished(c);
    for (int k = 0; k < kSlots; ++k) {
        int row = counters.slotProgressRow[k];
        if (counters.slotRunning[k] > 0 && row >= 0 && row < static_cast<int>(rows_.size())) {
            ++rows_[row].seconds;
            c.changedRows.push_back(row);
        }
    }

    std::array<std::int64_t, kSlots> slotTotal{};
    for (int k = 0; k < kSlots; ++k)
        for (auto b : counters.threadBytes[k]) slotTotal[k] += b;
    int k = viewedSlot(selected_ ? std::optional<int>(rows_[*selected_].queueRow) : std::nullopt);
    slotSize_ = counters.slotSize;
    slotWorkers_ = counters.slotWorkers;
    if (counters.slotWorkers[k] > 0) {
        std::int64_t max = barMaximum(counters.slotSize[k], counters.slotWorkers[k]);
        for (int j = 0; j < 5; ++j) {
            barMax_[j] = max;
            barPos_[j] = counters.threadBytes[k][j];
        }
        c.barsChanged = true;
    }
    panels_[2] = speedText(kibPerSecond(slotTotal[k] - lastSlotTotal_[k], interval));
    lastSlotTotal_ = slotTotal;
    c.timerRunning = timerRunning_;
    return c;
}

bool ProgressBoard::select(std::optional<int> progressRow) {
    if (progressRow && (*progressRow < 0 || *progressRow >= static_cast<int>(rows_.size())))
        progressRow.reset();
    selected_ = progressRow;
    if (!progressRow || !fillsBarsOnSelect(rows_[*progressRow].state)) return false;
    barPos_ = barMax_;
    return true;
}

}  // namespace melorin::download
