#pragma once
// What the downloader tells the window, one type per kind of news. Pushed on the pass's and the
// workers' threads, taken in order on the window's thread (Downloader::takeEvents()).
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "download/downloadjob.h"

namespace melorin::download {

// What a progress row says of its file; the board moves Ended to Logged once the file's log
// entry is written.
enum class ProgressState { Running, Ended, Logged, Failed };
// The text the progress list shows for a state.
std::string_view progressText(ProgressState state);

// A file has started (Running) or was refused before it started (Failed). `job.savePath` is the
// file it writes, which is the fallback name when the row's own could not be created.
struct ProgressRowAdded {
    int progressRow = -1;
    int queueRow = -1;
    ProgressState state = ProgressState::Running;
    DownloadJob job;
};
// A started file has ended: Ended (complete) or Failed.
struct RowStatus {
    int progressRow = -1;
    int queueRow = -1;
    ProgressState state = ProgressState::Ended;
};
// A complete file went to another name than its progress row says: the save path was taken by
// then, and an existing file is never replaced.
struct SavedAs {
    int progressRow = -1;
    std::string path;
};
struct LogLine {
    std::string text;
};
// The pass marks the queue row whose file it starts.
struct QueueRowSelected {
    int queueRow = -1;
};
// The one-second display runs while any worker runs.
struct TimerStarted {};
struct TimerStopped {};
// A pass pressed for by the user; "总耗时" counts from here.
struct PassStarted {};
struct PassEnded {};

using DownloadEvent = std::variant<ProgressRowAdded, RowStatus, SavedAs, LogLine, QueueRowSelected,
                                   TimerStarted, TimerStopped, PassStarted, PassEnded>;

// The log lines among `events`, in order.
std::vector<std::string> logLinesOf(const std::vector<DownloadEvent>& events);

}  // namespace melorin::download
