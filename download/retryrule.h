#pragma once
// When a segment's request is made again. One rule for every place that sees an answer:
// which HTTP statuses are worth another request, whether it goes at once or after a pause, and
// how many requests one file may cost.
#include <chrono>
#include <cstdint>

namespace melorin::download {

// 408, 429 and 5xx: the server may answer the same request later. Any other status that is
// not the answer asked for (other 4xx, a redirect left over, an unexpected 2xx) fails at once.
bool isRetriedStatus(int status);

// Connections that deliver nothing wait longer and longer before they ask again, so that a
// server gone for a while (a restart, a dropped line) finds the download still there.
struct RetryPolicy {
    std::chrono::milliseconds firstPause{500};     // doubled after each failure...
    std::chrono::milliseconds longestPause{5000};  // ...up to this
    std::chrono::milliseconds window{60000};       // a worker gives up once it has waited this
};

struct AttemptEnd {
    bool delivered = false;  // the attempt wrote bytes of the segment before it ended
    bool permanent = false;  // nothing another request could mend (a 4xx, a full disk)
    int failuresInARow = 0;  // earlier attempts, back to the last one that delivered, that did not
};

enum class NextAttempt { Now, AfterPause, GiveUp };

// A cut connection that delivered resumes at once; one that delivered nothing waits
// retryPause(), until the pauses since the last delivered byte add up to the window.
NextAttempt nextAttempt(const AttemptEnd& end, const RetryPolicy& policy);

// The pause before another request after `failures` (1, 2, ...) attempts in a row that
// delivered nothing.
std::chrono::milliseconds retryPause(const RetryPolicy& policy, int failures);

// Requests one run of a file may make in all: a server that sends a few bytes per answer and
// closes must not keep a worker asking for ever. A few per 64 KiB, and room for every worker
// to wait out an outage or two.
int requestAllowance(std::int64_t fileLength);

}  // namespace melorin::download
