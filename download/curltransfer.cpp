#include "download/curltransfer.h"

#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "core/atomicfile.h"

namespace melorin::download {
namespace {

class CurlFileTransfer final : public FileTransfer {
public:
    CurlFileTransfer(const FileOrder& order, FileObserver& observer, const FetchOptions& options)
        : order_(order),
          observer_(observer),
          options_(options),
          fd_(order.file ? order.file->fd() : -1),
          part_(fd_, order.size, order.validator, order.received,
                order.received.empty()
                    ? piecesFor(order.plan)
                    : piecesFor(missingRanges(mergeRanges(order.received), order.size)),
                static_cast<int>(order.plan.segments.size())),
          lastSaved_(mergeRanges(order.received)) {
        const std::size_t n = order.plan.segments.size();
        outcomes_.resize(n);
        left_ = static_cast<int>(n);
        if (fd_ < 0) openError_ = "没有可写的文件";
        if (fd_ >= 0 && !order.statePath.empty()) saver_ = std::thread([this] { saveLoop(); });
        for (std::size_t i = 0; i < n; ++i) threads_.emplace_back([this, i] { run(i); });
    }

    ~CurlFileTransfer() override {
        for (auto& t : threads_) t.join();
        stopSaver();
    }

    void cancel() override { part_.cancel = true; }

private:
    void run(std::size_t i) {
        const int worker = static_cast<int>(i);
        WorkerOutcome outcome;
        if (!openError_.empty()) {
            outcome = {WorkerResult::Failed, openError_};
        } else {
            outcome = runWorker(
                order_.url, worker, part_, options_,
                [this, worker](std::int64_t b) { observer_.workerBytes(order_.slot, worker, b); });
        }
        outcomes_[i] = outcome;
        observer_.workerEnded(order_.slot, worker);
        if (--left_ == 0) {
            // The last word on what is on disk, before the file's end is reported.
            stopSaver();
            const bool complete = fd_ >= 0 && part_.complete();
            if (!complete && fd_ >= 0 && !order_.statePath.empty()) saveState();
            FileOutcome verdict =
                complete ? FileOutcome{FileOutcome::Verdict::Complete} : failure();
            // On disk before the .part becomes the song: a power cut must not leave a hole in it.
            if (complete && ::fsync(fd_) != 0)
                verdict = {FileOutcome::Verdict::Failed,
                           std::string("无法写入文件：") + std::strerror(errno)};
            verdict.note = stateError_;
            observer_.fileEnded(order_.slot, verdict);
        }
    }

    // Runs on the last worker to end, after every outcome was stored.
    FileOutcome failure() {
        {
            std::lock_guard lock(part_.mutex);
            if (!part_.failure.empty()) return {part_.failureVerdict, part_.failure};
        }
        std::string reason;
        for (const auto& o : outcomes_)
            if (o.result == WorkerResult::Failed && reason.empty()) reason = o.reason;
        if (reason.empty() && part_.cancel) reason = "已停止";
        if (reason.empty()) reason = "服务器不支持分段下载，整体下载失败";
        return {FileOutcome::Verdict::Failed, reason};
    }

    void saveLoop() {
        std::unique_lock lock(saverMutex_);
        while (!saverStop_) {
            saverWake_.wait_for(lock, options_.stateInterval, [this] { return saverStop_; });
            if (saverStop_) break;
            lock.unlock();
            saveState();
            lock.lock();
        }
    }

    void stopSaver() {
        {
            std::lock_guard lock(saverMutex_);
            saverStop_ = true;
        }
        saverWake_.notify_all();
        if (saver_.joinable()) saver_.join();
    }

    // The bytes on disk first, then the state that names them: a state file never claims bytes
    // a power cut could have taken.
    void saveState() {
        std::vector<ByteRange> received = part_.received();
        if (received == lastSaved_) return;
        if (::fdatasync(fd_) != 0) {
            noteStateError(std::string("无法写入文件：") + std::strerror(errno));
            return;
        }
        const std::string text =
            encodeResumeState({order_.url, order_.size, order_.validator, received});
        if (auto error = core::writeFileAtomically(order_.statePath, text, true)) {
            noteStateError(*error);
            return;
        }
        lastSaved_ = std::move(received);
    }

    void noteStateError(const std::string& what) {
        std::lock_guard lock(saverMutex_);
        if (stateError_.empty()) stateError_ = "断点记录无法保存：" + what;
    }

    FileOrder order_;
    FileObserver& observer_;
    FetchOptions options_;
    const int fd_;
    SharedPart part_;
    std::string openError_;
    std::atomic<int> left_{0};
    std::vector<WorkerOutcome> outcomes_;
    std::vector<std::thread> threads_;

    std::mutex saverMutex_;
    std::condition_variable saverWake_;
    bool saverStop_ = false;
    std::thread saver_;
    std::vector<ByteRange> lastSaved_;  // used by the saver, then by the last worker
    std::string stateError_;
};

}  // namespace

ProbeResult CurlNetwork::probe(const std::string& url, const std::atomic<bool>& cancel) {
    return probeSize(url, options_, cancel);
}

std::unique_ptr<FileTransfer> CurlNetwork::start(const FileOrder& order, FileObserver& observer) {
    return std::make_unique<CurlFileTransfer>(order, observer, options_);
}

}  // namespace melorin::download
