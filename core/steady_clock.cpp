#include "core/steady_clock.h"

namespace {
class TSystemSteadyClock : public TSteadyClock {
public:
    time_point Now() const override { return std::chrono::steady_clock::now(); }
    void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   time_point deadline) const override {
        if (deadline == time_point::max())
            wake.wait(lock);
        else
            wake.wait_until(lock, deadline);
    }
};
} // namespace

const TSteadyClock& TSteadyClock::System() {
    static const TSystemSteadyClock clock;
    return clock;
}
