#pragma once
// A clock for the download core whose pauses take no time: each sleep moves the clock on by its
// length at once. A minute of back-off passes in a moment, and a server that measures its
// outages on the same clock sees the minute go by.
#include <atomic>
#include <chrono>

#include "download/clock.h"

namespace melorin::testing {

class SkipClock final : public download::Clock {
public:
    TimePoint now() const override {
        return std::chrono::steady_clock::now() + std::chrono::nanoseconds(skipped_.load());
    }
    bool sleepUntil(TimePoint until, const std::atomic<bool>& cancel) override {
        const auto ahead = until - now();
        if (ahead > ahead.zero())
            skipped_ += std::chrono::duration_cast<std::chrono::nanoseconds>(ahead).count();
        return !cancel;
    }
    // Time skipped so far.
    std::chrono::milliseconds skipped() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::nanoseconds(skipped_.load()));
    }

private:
    std::atomic<std::int64_t> skipped_{0};
};

}  // namespace melorin::testing
