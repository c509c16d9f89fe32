#pragma once
// The download queue and the passes over it: size probe, file slots (row i uses
// slot i mod 3, up to three files at once), one worker per segment. The pass runs
// on its own thread; workers report on theirs. The window reads counters through
// snapshot() and drains takeEvents() on its own thread.
//
// Where each step lives: the queue's rows in queuerows.h, the pass and a row's road through it
// (probe, body check, slot wait, .part, start, end) in downloadpass.cpp, the news for the
// window in downloadevents.h, the network seam in network.h.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "download/downloadevents.h"
#include "download/downloadjob.h"
#include "download/network.h"
#include "download/queuerows.h"
#include "download/segmentplan.h"

namespace melorin::download {

struct Counters {
    std::array<std::array<std::int64_t, kMaxWorkersPerFile>, kSlots> threadBytes{};
    std::array<std::int64_t, kSlots> slotSize{};
    std::array<int, kSlots> slotWorkers{};  // workers of the slot's current file
    std::array<int, kSlots> slotRunning{};
    std::array<int, kSlots> slotProgressRow{};
    int runningWorkers = 0;
    int connectedCount = 0;       // workers of the file started last
    std::int64_t totalBytes = 0;  // all bytes written since start-up, never reset
    int lastReportTag = 0;        // connection that reported last, and its count
    std::int64_t lastReportBytes = 0;
};

struct PassSettings {
    int workersPerFile = 5;
    std::string searchText;  // for the fallback file name
    std::string saveFolder;
};

class QueueKeeper;

class Downloader final : private FileObserver {
public:
    explicit Downloader(std::unique_ptr<Network> network);
    ~Downloader() override;
    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // A save path that another row, or a file on disk, already has gets " (2)", " (3)" ...;
    // job(row) tells the path the row was given.
    int addJob(DownloadJob job);
    // Refused (false) while a pass runs or any file has not ended: indices must keep their
    // meaning until the last worker's end has been counted.
    bool removeJobs(std::vector<int> rows);
    bool clearJobs();
    bool setSavePath(int row, std::string path);  // only for rows not started; made distinct
    // Moves the rows not started into `folder`, each under the name its title and type give;
    // returns the rows that moved. An empty folder would mean the file-system root: none move.
    std::vector<int> retarget(const std::vector<int>& rows, const std::string& folder);
    std::vector<DownloadJob> jobs() const;
    DownloadJob job(int row) const;  // an empty job for a row that does not exist
    RowState rowState(int row) const;

    // Keeps the rows that may still be fetched (see keptInQueueFile) in the file at `path`, so
    // a later run can bring them back, and brings back the rows it holds now, appended as rows
    // not yet started; returns how many. Their received bytes are resumed when they start. A
    // file that cannot be read whole is first moved aside to "<path>.damaged" (logged); the
    // rows of it that can still be read come back.
    int keepQueueIn(const std::string& path);

    // Starts a pass over the rows not yet started and those that failed (from the bytes they
    // have). False, doing nothing, while a pass runs or when there is no such row.
    bool start(const PassSettings& settings);
    bool passRunning() const;
    // A pass runs or a file it started has not ended.
    bool busy() const;

    // The exit question is asked only while workers run and it was not answered Yes.
    bool exitQuestionNeeded() const;
    void confirmExit();
    // Close: disconnects every connection, ends the pass; returns when all threads ended.
    // Files that were running keep their .part and state for the next start.
    void stopAll();

    // For the failure hook: disconnect the slot's connections; skip the row being
    // probed or waiting for its slot.
    void releaseSlot(int slot);
    void skipProbeRow();
    int probeRow() const;
    bool probing() const;

    std::vector<DownloadEvent> takeEvents();
    Counters snapshot() const;

private:
    struct RowRun;  // one row on its way through a pass (downloadpass.cpp)

    void workerBytes(int slot, int worker, std::int64_t bytesSoFar) override;
    void workerEnded(int slot, int worker) override;
    void fileEnded(int slot, const FileOutcome& outcome) override;

    // downloadpass.cpp: the pass, and the steps of one row in their order.
    void runPass(PassSettings settings);
    std::optional<int> takeNextRow();  // nullopt: the pass has ended
    void runRow(int row, const PassSettings& settings);
    bool probeFile(RowRun& run);
    bool isSong(RowRun& run);
    bool waitForSlot(RowRun& run);
    bool preparePartFile(RowRun& run, const PassSettings& settings);
    void startFile(RowRun& run, const PassSettings& settings);
    // Leaves the row out of this pass in `state`, with a log line when `reason` is set.
    void settleRow(const RowRun& run, RowState state, const std::string& reason);
    // The server's file changed under a running file: once per pass it starts again from zero
    // (with a pass of its own when none runs; the one it replaces is returned for joining).
    std::thread restartChangedFile(int row, const std::string& savePath);  // caller holds mutex_

    bool anyFileOpen() const;  // caller holds mutex_
    void queueChanged();       // caller holds mutex_
    // Caller holds mutex_. The event is made in its place in the list.
    template <typename Event>
    void push(Event event) {
        events_.emplace_back(std::in_place_type<Event>, std::move(event));
    }
    void log(std::string line);  // caller holds mutex_

    std::unique_ptr<Network> network_;
    mutable std::mutex mutex_;
    std::condition_variable slotFreed_;
    QueueRows rows_;
    std::vector<DownloadEvent> events_;
    std::thread pass_;
    PassSettings passSettings_;  // of the pass pressed for last; a restarted file uses them
    bool passActive_ = false;
    bool stopping_ = false;
    std::atomic<bool> exitConfirmed_{false};
    std::atomic<bool> probeCancel_{false};
    bool skipCurrent_ = false;
    int probeRow_ = 0;
    bool probing_ = false;
    int nextProgressRow_ = 0;
    std::array<bool, kSlots> slotBusy_{};      // from its file's start until fileEnded
    std::array<bool, kSlots> slotStarting_{};  // until its transfer is stored in transfers_
    std::array<int, kSlots> slotRow_{};
    std::array<std::string, kSlots> slotSavePath_{};  // where the slot's .part goes when complete
    std::array<std::unique_ptr<FileTransfer>, kSlots> transfers_;

    std::array<std::array<std::atomic<std::int64_t>, kMaxWorkersPerFile>, kSlots> threadBytes_{};
    std::array<std::atomic<std::int64_t>, kSlots> slotSize_{};
    std::array<std::atomic<int>, kSlots> slotWorkers_{};
    std::array<std::atomic<int>, kSlots> slotRunning_{};
    std::array<std::atomic<int>, kSlots> slotProgressRow_{};
    std::atomic<int> runningWorkers_{0};
    std::atomic<int> connectedCount_{0};
    std::atomic<std::int64_t> totalBytes_{0};
    std::atomic<std::uint64_t> lastReport_{0};  // tag << 48 | byte count
    std::unique_ptr<QueueKeeper> keeper_;       // last: it reads the rows while it ends
};

}  // namespace melorin::download
