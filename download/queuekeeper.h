#pragma once
// Keeps the queue file up to date from a thread of its own: changes are gathered for a moment
// and the file is written whole (beside it, flushed, renamed), so a burst of rows costs one
// write and a crash leaves the old file or the new one, never half of either.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "download/downloader.h"

namespace melorin::download {

class QueueKeeper {
public:
    using Snapshot = std::function<std::vector<DownloadJob>()>;  // the rows to keep, now
    using Report = std::function<void(const std::string&)>;      // a write that failed

    QueueKeeper(std::string path, Snapshot snapshot, Report report,
                std::chrono::milliseconds gather = std::chrono::milliseconds(100));
    ~QueueKeeper();  // writes what is pending
    QueueKeeper(const QueueKeeper&) = delete;
    QueueKeeper& operator=(const QueueKeeper&) = delete;

    void changed();
    void flush();  // writes now when anything changed; returns when it is on disk

private:
    void loop();
    void write();  // caller holds writeMutex_

    const std::string path_;
    const Snapshot snapshot_;
    const Report report_;
    const std::chrono::milliseconds gather_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool dirty_ = false;
    bool stop_ = false;
    std::mutex writeMutex_;  // one write at a time, in order
    std::string lastError_;
    std::thread thread_;
};

}  // namespace melorin::download
