#include "download/retryrule.h"

#include <algorithm>

namespace melorin::download {

bool isRetriedStatus(int status) {
    return status == 408 || status == 429 || (status >= 500 && status <= 599);
}

NextAttempt nextAttempt(const AttemptEnd& end, const RetryPolicy& policy) {
    if (end.permanent) return NextAttempt::GiveUp;
    if (end.delivered) return NextAttempt::Now;
    std::chrono::milliseconds waited{0};
    for (int f = 1; f <= end.failuresInARow; ++f) waited += retryPause(policy, f);
    return waited >= policy.window ? NextAttempt::GiveUp : NextAttempt::AfterPause;
}

std::chrono::milliseconds retryPause(const RetryPolicy& policy, int failures) {
    std::chrono::milliseconds pause = policy.firstPause;
    for (int f = 1; f < failures && pause < policy.longestPause; ++f) pause *= 2;
    return std::min(pause, policy.longestPause);
}

int requestAllowance(std::int64_t fileLength) {
    constexpr std::int64_t kPerBlock = 4;
    constexpr std::int64_t kBlock = 64 * 1024;
    constexpr std::int64_t kFixed = 120;
    const std::int64_t blocks = (std::max<std::int64_t>(fileLength, 0) + kBlock - 1) / kBlock;
    return static_cast<int>(std::min<std::int64_t>(kFixed + kPerBlock * blocks, 1 << 30));
}

}  // namespace melorin::download
