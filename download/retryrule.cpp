#include "download/retryrule.h"

#include <algorithm>

namespace melorin::download {

bool isRetriedStatus(int status) {
    return status == 408 || status == 429 || (status >= 500 && status <= 599);
}

NextAttempt nextAttempt(const AttemptEnd& end, int maxFailures) {
    if (end.permanent) return NextAttempt::GiveUp;
    if (end.delivered) return NextAttempt::Now;
    return end.failuresInARow + 1 > maxFailures ? NextAttempt::GiveUp : NextAttempt::AfterPause;
}

std::chrono::milliseconds retryPause(std::chrono::milliseconds base, int failures) {
    return base * std::clamp(failures, 1, 8);
}

}  // namespace melorin::download
