#pragma once
// The rows of the download queue and what the passes know of each: plain data, guarded by the
// downloader. A row's index is its identity; every row has a save path of its own.
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "download/downloadjob.h"

namespace melorin::download {

enum class RowState {
    Waiting,   // not started yet, or stopped by the close: the next pass takes it
    Probing,   // the pass asks for its length or waits for its file slot
    Running,   // its workers run
    Finished,  // the file is complete under its save path
    Failed,    // stopped short; its bytes stay on disk and the next pass goes on from them
    Refused,   // can never succeed (the server refuses it, or it is not a song): not tried again
    Skipped    // passed over by the failure hook: not again in this run; its bytes stay
};

// Whether the queue file keeps a row of this state for the next start.
bool keptInQueueFile(RowState state);

struct QueueRow {
    DownloadJob job;
    RowState state = RowState::Waiting;
    bool inPass = false;     // the running pass still has to take it
    bool restarted = false;  // started again from zero once because the server's file changed
};

class QueueRows {
public:
    int size() const { return static_cast<int>(rows_.size()); }
    bool has(int row) const { return row >= 0 && row < size(); }
    QueueRow& operator[](int row) { return rows_[static_cast<std::size_t>(row)]; }
    const QueueRow& operator[](int row) const { return rows_[static_cast<std::size_t>(row)]; }

    // Appends the row under its save path, or the first numbered one no other row has; with
    // `avoidFiles` also none a file on disk has. Returns its index.
    int add(DownloadJob job, bool avoidFiles);
    // Removes the rows at these indices; the bytes of those not finished go with them.
    void remove(std::vector<int> rows);
    void clear();
    // Gives a row another save path, made distinct like add's with `avoidFiles`; its received
    // bytes move along.
    void moveTo(int row, const std::string& path);

    std::vector<DownloadJob> jobs() const;
    std::vector<DownloadJob> keptJobs() const;  // those the queue file keeps

private:
    std::string freePath(const std::string& wanted, bool avoidFiles, const std::string& own = {});

    std::vector<QueueRow> rows_;
    std::unordered_set<std::string> paths_;  // every row's save path: no row shares one
    // Per wanted path, the number to try first for the next row that wants it: a thousand rows
    // of one title cost a thousand looks, not half a million.
    std::unordered_map<std::string, int> nextNumber_;
};

}  // namespace melorin::download
