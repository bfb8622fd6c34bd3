#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// The monotonic time that timed parts (the call watchdog, the journal's sync) read and sleep by. The program
// uses the system's; a test drives its own, so that "the limit has passed" is a step it takes, not a sleep.
class TSteadyClock {
public:
    using time_point = std::chrono::steady_clock::time_point;

    virtual ~TSteadyClock() = default;
    virtual time_point Now() const = 0;
    // Sleeps on wake, whose lock is held, until deadline by this clock (max(): none) or a notify; may return
    // early, so the caller looks at the time again.
    virtual void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                           time_point deadline) const = 0;

    // The system's monotonic clock.
    static const TSteadyClock& System();
};
