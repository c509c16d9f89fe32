#include "download/curltransfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace melorin::download {
namespace {

class CurlFileTransfer final : public FileTransfer {
public:
    CurlFileTransfer(const FileOrder& order, FileObserver& observer, const FetchOptions& options)
        : order_(order), observer_(observer), options_(options) {
        sink_.total = order.size;
        sink_.fd = ::open(order.path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
        const std::size_t n = order.plan.segments.size();
        outcomes_.resize(n);
        left_ = static_cast<int>(n);
        if (sink_.fd < 0) openError_ = std::string("无法打开文件：") + std::strerror(errno);
        for (std::size_t i = 0; i < n; ++i) threads_.emplace_back([this, i] { run(i); });
    }

    ~CurlFileTransfer() override {
        for (auto& t : threads_) t.join();
        if (sink_.fd >= 0) ::close(sink_.fd);
    }

    void cancel() override { cancel_ = true; }

private:
    void run(std::size_t i) {
        const Segment& segment = order_.plan.segments[i];
        const int worker = static_cast<int>(i);
        SegmentOutcome outcome;
        if (!openError_.empty()) {
            outcome = {SegmentResult::Failed, openError_};
        } else {
            outcome = fetchSegment(order_.url, segment, worker, sink_, options_, cancel_,
                                   [this, worker](std::int64_t bytes) {
                                       observer_.workerBytes(order_.slot, worker, bytes);
                                   });
        }
        outcomes_[i] = outcome;
        observer_.workerEnded(order_.slot, worker);
        if (--left_ == 0) observer_.fileEnded(order_.slot, verdict());
    }

    // Runs on the last worker to end, after every outcome was stored.
    FileOutcome verdict() {
        if (sink_.wholeBodyDone) return finish();
        std::string reason;
        for (const auto& o : outcomes_) {
            if (o.result == SegmentResult::Complete) continue;
            if (reason.empty())
                reason = o.result == SegmentResult::Covered ? "服务器不支持分段下载，整体下载失败"
                                                            : o.reason;
        }
        if (reason.empty()) return finish();
        return {false, reason};
    }

    FileOutcome finish() {
        struct stat st {};
        if (::fstat(sink_.fd, &st) != 0 || st.st_size != order_.size)
            return {false, "文件长度不符"};
        return {true, {}};
    }

    FileOrder order_;
    FileObserver& observer_;
    FetchOptions options_;
    FileSink sink_;
    std::string openError_;
    std::atomic<bool> cancel_{false};
    std::atomic<int> left_{0};
    std::vector<SegmentOutcome> outcomes_;
    std::vector<std::thread> threads_;
};

}  // namespace

ProbeResult CurlNetwork::probe(const std::string& url, const std::atomic<bool>& cancel) {
    return probeSize(url, options_, cancel);
}

std::unique_ptr<FileTransfer> CurlNetwork::start(const FileOrder& order, FileObserver& observer) {
    return std::make_unique<CurlFileTransfer>(order, observer, options_);
}

}  // namespace melorin::download
