#pragma once
// Time as the download core sees it: what time it is, and pauses that a stop cuts short. The
// workers take it from outside, so tests step through a minute of back-off without waiting.
#include <atomic>
#include <chrono>
#include <memory>

namespace melorin::download {

class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
    // Returns at `until`, or false as soon as `cancel` is set.
    virtual bool sleepUntil(TimePoint until, const std::atomic<bool>& cancel) = 0;

    bool sleepFor(std::chrono::milliseconds pause, const std::atomic<bool>& cancel) {
        return sleepUntil(now() + pause, cancel);
    }
};

// The steady clock; its pauses look at `cancel` every 10 ms.
std::shared_ptr<Clock> systemClock();

}  // namespace melorin::download
