#pragma once
// The HTTP side of a download, on libcurl: the size probe (headers and the first bytes of the
// body) and the workers of one file, which share its pieces and resume cut connections. Both
// block the calling thread; both stop soon after their cancel flag becomes true.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "download/piecetable.h"

namespace melorin::download {

inline constexpr const char* kAcceptHeader = "Accept: text/html, */*";
inline constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

struct FetchOptions {
    std::chrono::milliseconds connectTimeout{15000};
    long stallSeconds = 30;  // a transfer without any byte for this long is cut
    int maxResumes = 3;      // attempts in a row that deliver nothing before a worker gives up
    long maxRedirects = 5;
    std::chrono::milliseconds retryPause{200};
    // How often the state file beside a .part is replaced while bytes arrive: a resume after a
    // crash fetches at most about this much transfer again.
    std::chrono::milliseconds stateInterval{50};
    bool splitSlowPieces = true;  // a free worker takes half of the slowest remainder
};

struct ProbeResult {
    bool ok = false;
    int status = 0;
    std::int64_t length = -1;    // announced body length; -1 when none was announced
    std::string reason{};        // why it failed, for the log (UTF-8)
    std::int64_t bodyBytes = 0;  // body bytes that arrived before the probe was cut off
    std::string head{};          // the first of them (at most kSniffBytes)
    std::string contentType{};
    std::string validator{};  // a strong ETag or Last-Modified, for If-Range; "" when none
};

// GET cut off once the first piece of the body has arrived; follows redirects. ok only for a
// 200 answer that announced its length.
ProbeResult probeSize(const std::string& url, const FetchOptions& options,
                      const std::atomic<bool>& cancel);

// Shared by the workers of one file. A server that ignores ranges answers 200 with the whole
// body; the first worker that sees that becomes the owner and fetches the whole file into a
// single piece, the others stop and leave it to him.
struct SharedPart {
    SharedPart(int fd, std::int64_t total, std::string validator, std::vector<Piece> pieces,
               int workers);

    const int fd;
    const std::int64_t total;
    const std::string validator;  // sent as If-Range with every ranged request
    std::atomic<bool> cancel{false};

    std::mutex mutex;  // guards everything below
    std::vector<Piece> pieces;
    std::atomic<int> generation{0};  // raised when the whole body replaces the pieces
    int wholeBodyOwner = -1;
    std::string failure;  // set by the first worker that meets what no request can mend

    // Per worker: where its piece ends now; a split lowers it while the request runs.
    struct Worker {
        std::atomic<std::int64_t> end{0};
        std::chrono::steady_clock::time_point since{};
        std::int64_t doneAtStart = 0;
    };
    std::vector<Worker> workers;

    // Bytes on disk, for the state file; caller holds no lock.
    std::vector<ByteRange> received();
    bool complete();
};

enum class WorkerResult { Done, Covered, Failed, Cancelled };

struct WorkerOutcome {
    WorkerResult result = WorkerResult::Failed;
    std::string reason;
};

// Runs worker `worker` of the file: takes pieces (splitting slow ones when the options allow)
// until none is left. Only bytes of a matching 206 answer, or of a 200 answer to the owner of
// the whole body, are written, never beyond the file's length. onBytes gets the running count
// of bytes this worker wrote for the file.
WorkerOutcome runWorker(const std::string& url, int worker, SharedPart& part,
                        const FetchOptions& options,
                        const std::function<void(std::int64_t)>& onBytes);

}  // namespace melorin::download
