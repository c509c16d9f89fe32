#pragma once
// The HTTP side of a download, on libcurl: the size probe (headers only) and the
// fetch of one segment with resumes. Both block the calling thread; both stop
// soon after `cancel` becomes true.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "download/segmentplan.h"

namespace melorin::download {

inline constexpr const char* kAcceptHeader = "Accept: text/html, */*";
inline constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

struct FetchOptions {
    std::chrono::milliseconds connectTimeout{15000};
    long stallSeconds = 30;  // a transfer without any byte for this long is cut
    int maxResumes = 3;      // attempts in a row that deliver nothing before a segment gives up
    long maxRedirects = 5;
    std::chrono::milliseconds retryPause{200};
};

struct ProbeResult {
    bool ok = false;
    int status = 0;
    std::int64_t length = -1;    // announced body length; -1 when none was announced
    std::string reason;          // why it failed, for the log (UTF-8)
    std::int64_t bodyBytes = 0;  // body bytes that arrived before the probe was cut off
};

// GET cut off when the body begins; follows redirects. ok only for a 200 answer.
ProbeResult probeSize(const std::string& url, const FetchOptions& options,
                      const std::atomic<bool>& cancel);

// Shared by the workers of one file. A server that ignores ranges answers 200
// with the whole body; the first worker that sees that becomes the owner and
// fetches the whole file, the others stop and leave their segments to it.
struct FileSink {
    int fd = -1;
    std::int64_t total = 0;
    std::atomic<int> wholeBodyOwner{-1};
    std::atomic<bool> wholeBodyDone{false};
};

enum class SegmentResult { Complete, Covered, Failed, Cancelled };

struct SegmentOutcome {
    SegmentResult result = SegmentResult::Failed;
    std::string reason;
};

// Fetches `segment` of the file into sink.fd at its true offsets, resuming from
// the first missing byte. Only bytes of a matching 206 answer, or of a 200 answer
// to the owner of the whole body, are written, never beyond the file's length.
// onBytes gets the running count of bytes this worker wrote for the file.
SegmentOutcome fetchSegment(const std::string& url, const Segment& segment, int worker,
                            FileSink& sink, const FetchOptions& options,
                            const std::atomic<bool>& cancel,
                            const std::function<void(std::int64_t)>& onBytes);

}  // namespace melorin::download
