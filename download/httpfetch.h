#pragma once
// The HTTP side of a download, on libcurl: the size probe (headers and the first bytes of the
// body) and the workers of one file, which share its pieces and resume cut connections. Both
// block the calling thread; both stop soon after their cancel flag becomes true.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "download/clock.h"
#include "download/network.h"
#include "download/piecetable.h"
#include "download/retryrule.h"

namespace melorin::download {

inline constexpr const char* kAcceptHeader = "Accept: text/html, */*";
inline constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";
// Bytes are saved as the server has them: an encoded answer would be another file.
inline constexpr const char* kAcceptEncodingHeader = "Accept-Encoding: identity";

struct FetchOptions {
    std::chrono::milliseconds connectTimeout{15000};
    long stallSeconds = 30;  // a transfer without any byte for this long is cut
    long maxRedirects = 5;
    RetryPolicy retry{};
    // How often the state file beside a .part is replaced while bytes arrive: a resume after a
    // crash fetches at most about this much transfer again.
    std::chrono::milliseconds stateInterval{50};
    bool splitSlowPieces = true;  // a free worker takes half of the slowest remainder
    std::shared_ptr<Clock> clock = systemClock();  // speeds and the pauses between attempts
    // The music catalogues ask every client to name itself: addresses on these origins
    // ("https://archive.org", scheme, host and port compared) are asked with ownName as the
    // User-Agent, and keep it through their redirects to storage hosts.
    std::vector<std::string> ownNameOrigins;
    std::string ownName;
};

// The User-Agent a request for url carries under these options.
[[nodiscard]] std::string userAgentFor(const std::string& url, const FetchOptions& options);

// GET cut off once the first piece of the body has arrived; follows redirects (to web
// addresses only). ok only for an unencoded 200 answer that announced its length (0 included).
ProbeResult probeSize(const std::string& url, const FetchOptions& options,
                      const std::atomic<bool>& cancel);

// Shared by the workers of one file. A server that ignores ranges answers 200 with the whole
// body; the first worker that sees that becomes the owner and fetches the whole file into a
// single piece, the others stop and leave it to him. Every answer must still be the file the
// bytes on disk came from: its length and its validator are checked before a byte is written.
struct SharedPart {
    SharedPart(int fd, std::int64_t total, std::string validator, std::vector<ByteRange> resumed,
               std::vector<Piece> pieces, int workers);

    const int fd;
    const std::int64_t total;
    const std::string validator;           // sent as If-Range, and what every answer must carry
    const std::vector<ByteRange> resumed;  // on disk before this run; named in every state file
    std::atomic<bool> cancel{false};       // stop now: the close, or a failure of the file
    std::atomic<int> requestsLeft;         // requestAllowance(total) at the start

    std::mutex mutex;  // guards everything below
    std::vector<Piece> pieces;
    std::atomic<int> generation{0};  // raised when the whole body replaces the pieces
    int wholeBodyOwner = -1;
    // Set by the first worker that meets what no request can mend, with what it means for the
    // file; the other workers stop.
    std::string failure;
    FileOutcome::Verdict failureVerdict = FileOutcome::Verdict::Failed;

    // Per worker: where its piece ends now; a split lowers it while the request runs.
    struct Worker {
        std::atomic<std::int64_t> end{0};
        std::chrono::steady_clock::time_point since{};
        std::int64_t doneAtStart = 0;
    };
    std::vector<Worker> workers;

    // Bytes on disk, for the state file: the resumed ones and those of this run; caller holds
    // no lock.
    std::vector<ByteRange> received();
    bool complete();
    // The first failure of the file wins; every worker stops.
    void fail(std::string reason, FileOutcome::Verdict verdict);
};

enum class WorkerResult { Done, Covered, Failed, Cancelled };

struct WorkerOutcome {
    WorkerResult result = WorkerResult::Failed;
    std::string reason;
};

// Runs worker `worker` of the file: takes pieces (splitting slow ones when the options allow)
// until none is left. Only bytes of a matching 206 answer, or of a 200 answer to the owner of
// the whole body, are written, never beyond the file's length, and only from an answer of the
// same file (length, validator) without an encoding. A connection that delivers nothing waits
// longer each time (options.retry) before it asks again; the file's requests are capped
// (requestAllowance). onBytes gets the running count of bytes this worker wrote for the file.
WorkerOutcome runWorker(const std::string& url, int worker, SharedPart& part,
                        const FetchOptions& options,
                        const std::function<void(std::int64_t)>& onBytes);

}  // namespace melorin::download
