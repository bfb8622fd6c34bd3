#pragma once

#include "core/steady_clock.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// A clock that stands still until the test moves it. Whoever sleeps by it looks at the time again every
// millisecond of real time, and Settle tells when a sleeper has seen a step and done what it brought.
class TManualClock : public TSteadyClock {
public:
    time_point Now() const override {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   time_point deadline) const override {
        {
            std::lock_guard guard(m_mutex);
            ++m_looks;
            if (m_now >= deadline)
                return;
        }
        wake.wait_for(lock, std::chrono::milliseconds(1));
    }

    void Advance(std::chrono::milliseconds step) {
        std::lock_guard lock(m_mutex);
        m_now += step;
    }
    // Waits (up to 5 s of real time) until a sleeper has gone to sleep twice more: the second time it had
    // read the time after the step. False when nobody sleeps by this clock.
    bool Settle() const {
        const long long looks = Looks();
        for (int waited = 0; waited < 5000; ++waited) {
            if (Looks() >= looks + 2)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    // Both, as a test takes a step of time.
    bool Step(std::chrono::milliseconds step) {
        Advance(step);
        return Settle();
    }

private:
    long long Looks() const {
        std::lock_guard lock(m_mutex);
        return m_looks;
    }

    mutable std::mutex m_mutex;
    time_point m_now{std::chrono::hours(1)};
    mutable long long m_looks = 0;
};
