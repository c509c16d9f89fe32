#include "download/queuekeeper.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/atomicfile.h"
#include "download/queuefile.h"

namespace melorin::download {

QueueKeeper::QueueKeeper(std::string path, Snapshot snapshot, Report report,
                         std::chrono::milliseconds gather)
    : path_(std::move(path)),
      snapshot_(std::move(snapshot)),
      report_(std::move(report)),
      gather_(gather),
      thread_([this] { loop(); }) {}

QueueKeeper::~QueueKeeper() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    flush();
}

void QueueKeeper::changed() {
    {
        std::lock_guard lock(mutex_);
        dirty_ = true;
    }
    wake_.notify_all();
}

void QueueKeeper::flush() {
    std::lock_guard write(writeMutex_);
    {
        std::lock_guard lock(mutex_);
        if (!dirty_) return;
        dirty_ = false;
    }
    this->write();
}

void QueueKeeper::loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return dirty_ || stop_; });
        if (stop_) return;
        // Gather a burst (a selection of many rows arrives one row at a time).
        wake_.wait_for(lock, gather_, [this] { return stop_; });
        if (stop_) return;
        lock.unlock();
        flush();
        lock.lock();
    }
}

void QueueKeeper::write() {
    const std::vector<DownloadJob> rows = snapshot_();
    std::string error;
    if (rows.empty()) {
        if (::unlink(path_.c_str()) != 0 && errno != ENOENT)
            error = "cannot remove " + path_ + ": " + std::strerror(errno);
    } else if (auto failed = core::writeFileAtomically(path_, encodeQueue(rows), true)) {
        error = *failed;
    }
    // Each distinct failure is told once; a later success clears it.
    if (!error.empty() && error != lastError_) report_(error);
    lastError_ = error;
}

}  // namespace melorin::download
