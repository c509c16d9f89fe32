#pragma once
// When a segment's request is made again. One rule for every place that sees an answer:
// which HTTP statuses are worth another request, and whether it goes at once or after a pause.
#include <chrono>

namespace melorin::download {

// 408, 429 and 5xx: the server may answer the same request later. Any other status that is
// not the answer asked for (other 4xx, a redirect left over, an unexpected 2xx) fails at once.
bool isRetriedStatus(int status);

struct AttemptEnd {
    bool delivered = false;  // the attempt wrote bytes of the segment before it ended
    bool permanent = false;  // nothing another request could mend (a 4xx, a full disk)
    int failuresInARow = 0;  // earlier attempts, back to the last one that delivered, that did not
};

enum class NextAttempt { Now, AfterPause, GiveUp };

// A cut connection that delivered resumes at once; one that delivered nothing waits, and after
// `maxFailures` such attempts in a row the segment gives up.
NextAttempt nextAttempt(const AttemptEnd& end, int maxFailures);

// The pause before another request after `failures` attempts in a row that delivered nothing.
std::chrono::milliseconds retryPause(std::chrono::milliseconds base, int failures);

}  // namespace melorin::download
