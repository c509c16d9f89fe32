#include "download/clock.h"

#include <thread>

namespace melorin::download {
namespace {

class SystemClock final : public Clock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
    bool sleepUntil(TimePoint until, const std::atomic<bool>& cancel) override {
        while (now() < until) {
            if (cancel) return false;
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(until - now(), kStep));
        }
        return !cancel;
    }

private:
    static constexpr std::chrono::milliseconds kStep{10};
};

}  // namespace

std::shared_ptr<Clock> systemClock() {
    static const std::shared_ptr<Clock> clock = std::make_shared<SystemClock>();
    return clock;
}

}  // namespace melorin::download
