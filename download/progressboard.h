#pragma once
// The download panel's lower half as data: progress rows, the status texts, the
// five bars and the log lines, worked out from the downloader's events and
// counters. Lives on the window's thread; the window only copies it to controls.
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "download/downloader.h"

namespace melorin::download {

// "总耗时：" + seconds + "秒"
std::string elapsedText(int seconds);
// Bytes over an interval as whole KiB per second, truncated; never negative; an
// interval of 0 or less counts as one second.
std::int64_t kibPerSecond(std::int64_t deltaBytes, std::chrono::milliseconds interval);
// n + "k/s"
std::string speedText(std::int64_t kib);
// Status panel 0: "文件<slot+1>线程<worker+1>：" + count for worker tags, else the count.
std::string reportText(int tag, std::int64_t bytes);
// A bar's maximum: the file's length over its own number of workers.
std::int64_t barMaximum(std::int64_t fileSize, int workers);
// The slot whose bars are shown: the selected progress row's queue row mod 3, else 0.
int viewedSlot(std::optional<int> selectedQueueRow);
// Selecting a row in one of these states fills its bars.
bool fillsBarsOnSelect(ProgressState state);
// The pass's progress in whole percent, rounded down; 0 for a pass of no file.
int passPercent(const PassTally& tally);
// The status bar's pass text: "<finished>/<files> 个文件 <percent>%".
std::string passStatusText(const PassTally& tally);
// What the desktop notification says when a pass has ended.
std::string passSummary(const PassTally& tally);
// The six log lines for a finished file.
std::vector<std::string> completionEntry(const std::string& dateTime, const DownloadJob& job,
                                         int seconds);

struct ProgressRowView {
    std::string title;
    ProgressState state = ProgressState::Running;
    int seconds = 0;
    int queueRow = 0;
    DownloadJob job;
};

class ProgressBoard {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using DateTime = std::function<std::string()>;  // the window's local date and time text
    ProgressBoard(Clock clock, DateTime dateTime);

    // What changed; the window appends logLines and refreshes rows.
    struct Changes {
        std::vector<std::string> logLines;
        std::vector<int> addedRows;
        std::vector<int> changedRows;
        std::vector<int> selectedQueueRows;
        bool timerRunning = false;  // after these events
        bool barsChanged = false;
        bool passEnded = false;
        bool passStarted = false;  // a pass pressed for by the user began
    };
    Changes apply(const std::vector<DownloadEvent>& events);
    // The one-second tick; only while timerRunning().
    Changes tick(const Counters& counters);
    // Selection handler of the progress list (nullopt: none selected).
    bool select(std::optional<int> progressRow);

    bool timerRunning() const { return timerRunning_; }
    const std::vector<ProgressRowView>& rows() const { return rows_; }
    std::optional<int> selectedRow() const { return selected_; }
    // The file a progress row's complete download went to; nullopt while it runs or failed.
    std::optional<std::string> finishedFile(int progressRow) const;
    const std::string& elapsedPanel() const { return panels_[1]; }
    const std::string& reportPanel() const { return panels_[0]; }
    const std::string& fileSpeedPanel() const { return panels_[2]; }
    const std::string& totalSpeedPanel() const { return panels_[3]; }
    const std::array<std::int64_t, 5>& barMaxima() const { return barMax_; }
    const std::array<std::int64_t, 5>& barPositions() const { return barPos_; }

private:
    void logFinished(Changes& changes);

    Clock clock_;
    DateTime dateTime_;
    std::vector<ProgressRowView> rows_;
    std::optional<int> selected_;
    bool timerRunning_ = false;
    int elapsedSeconds_ = 0;
    std::int64_t lastTotal_ = 0;
    std::array<std::int64_t, kSlots> lastSlotTotal_{};
    std::chrono::steady_clock::time_point lastTick_{};
    bool ticked_ = false;
    std::array<std::string, 4> panels_;
    std::array<std::int64_t, 5> barMax_{};
    std::array<std::int64_t, 5> barPos_{};
    std::array<std::int64_t, kSlots> slotSize_{};
    std::array<int, kSlots> slotWorkers_{};
};

}  // namespace melorin::download
