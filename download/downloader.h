#pragma once
// The download queue and the passes over it: size probe, file slots (row i uses
// slot i mod 3, up to three files at once), one worker per segment. The pass runs
// on its own thread; workers report on theirs. The window reads counters through
// snapshot() and drains takeEvents() on its own thread.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/songrow.h"
#include "download/httpfetch.h"
#include "download/partfiles.h"
#include "download/segmentplan.h"

namespace melorin::download {

// A queue row: a found file plus where it goes; its index is its identity.
struct DownloadJob : core::SongRow {
    std::string savePath;
};

enum class RowState { Waiting, Probing, Running, Finished, Failed, Skipped };

// What a progress row says of its file; the board moves Ended to Logged once the file's log
// entry is written.
enum class ProgressState { Running, Ended, Logged, Failed };
// The text the progress list shows for a state.
std::string_view progressText(ProgressState state);

struct FileOrder {
    int queueRow = 0;
    int slot = 0;
    std::string url;
    std::string path;  // the file the transfer writes: the save path + ".part"
    std::int64_t size = 0;
    SegmentPlan plan;
    std::string validator;            // for If-Range; "" when the server gave none
    std::string statePath;            // kept up to date while bytes arrive; "" for none
    std::vector<ByteRange> received;  // a resume: the bytes already in the .part
};

struct FileOutcome {
    bool complete = false;
    std::string reason;
    std::string note{};  // something the log should say besides (a state file not written)
};

// What a running file tells the downloader; called on worker threads. Per file:
// workerBytes any number of times, workerEnded once per segment, then fileEnded once.
class FileObserver {
public:
    virtual ~FileObserver() = default;
    virtual void workerBytes(int slot, int worker, std::int64_t bytesSoFar) = 0;
    virtual void workerEnded(int slot, int worker) = 0;
    virtual void fileEnded(int slot, const FileOutcome& outcome) = 0;
};

// A file being fetched. cancel() disconnects its connections and returns at once;
// the destructor waits for its threads.
class FileTransfer {
public:
    virtual ~FileTransfer() = default;
    virtual void cancel() = 0;
};

// The network as the pass needs it; CurlNetwork is the real one, tests fake it.
class Network {
public:
    virtual ~Network() = default;
    virtual ProbeResult probe(const std::string& url, const std::atomic<bool>& cancel) = 0;
    virtual std::unique_ptr<FileTransfer> start(const FileOrder& order, FileObserver& observer) = 0;
};

struct DownloadEvent {
    enum class Kind {
        ProgressRowAdded,
        RowStatus,
        Log,
        QueueRowSelected,
        TimerStarted,
        TimerStopped,
        PassEnded,
        PassStarted  // "总耗时" counts from here
    };
    Kind kind = Kind::Log;
    int progressRow = -1;
    int queueRow = -1;
    ProgressState state = ProgressState::Running;  // ProgressRowAdded, RowStatus
    std::string text;                              // Log: the line
    DownloadJob job;                               // ProgressRowAdded: the row as it was started
};

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

    // A save path that another row already has gets " (2)", " (3)" ... (see distinctSavePath);
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

    // Keeps the unfinished rows (not finished, failed or removed) in the file at `path`, so a
    // later run can bring them back, and brings back the rows it holds now, appended as rows
    // not yet started; returns how many. Their received bytes are resumed when they start.
    int keepQueueIn(const std::string& path);

    // Starts a pass over the rows not yet started. False, doing nothing, while a
    // pass runs or when there is no such row.
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
    void workerBytes(int slot, int worker, std::int64_t bytesSoFar) override;
    void workerEnded(int slot, int worker) override;
    void fileEnded(int slot, const FileOutcome& outcome) override;

    void runPass(PassSettings settings, int rowCount);
    bool runRow(int row, const PassSettings& settings);  // false ends the pass
    bool anyFileOpen() const;                            // caller holds mutex_
    std::vector<DownloadJob> unfinishedJobs() const;
    void queueChanged();                                      // caller holds mutex_
    std::vector<std::string> savePathsExcept(int row) const;  // caller holds mutex_
    void push(DownloadEvent e);                               // caller holds mutex_
    void log(std::string line);                               // caller holds mutex_

    std::unique_ptr<Network> network_;
    mutable std::mutex mutex_;
    std::condition_variable slotFreed_;
    std::vector<DownloadJob> jobs_;
    std::vector<RowState> states_;
    std::vector<bool> unreached_;  // skipped because no answer came: kept for a later run
    std::vector<DownloadEvent> events_;
    std::thread pass_;
    bool passActive_ = false;
    bool stopping_ = false;
    std::atomic<bool> exitConfirmed_{false};
    std::atomic<bool> probeCancel_{false};
    bool skipCurrent_ = false;
    int probeRow_ = 0;
    bool probing_ = false;
    int nextProgressRow_ = 0;
    std::array<bool, kSlots> slotBusy_{};  // from its file's start until fileEnded
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
