#pragma once

#include <ibase.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// Puts a time limit on blocking client calls. One helper thread sleeps until the deadline of the call in
// progress; when a call outlives it, the thread runs the abort given at construction with the attachment the
// call was armed for (the abort breaks the attachment locally, so the blocked call returns with a
// lost-connection error) and does nothing else: every consequence is handled on the calling thread as for
// any lost connection.
//
// Arm/Disarm take an uncontended mutex and read the monotonic clock; the helper is woken only when it sleeps
// without a deadline or a nearer deadline arrives, so a steady series of calls makes no system call.
class TFbCallWatchdog {
public:
    TFbCallWatchdog(uint32_t timeoutMs, std::function<void(isc_db_handle attachment)> abortCall);
    ~TFbCallWatchdog();
    TFbCallWatchdog(const TFbCallWatchdog&) = delete;
    TFbCallWatchdog& operator=(const TFbCallWatchdog&) = delete;

    uint32_t TimeoutMs() const { return m_timeoutMs; }

    void Arm(isc_db_handle attachment);
    // True when the call armed last was aborted because it outlived the limit.
    bool Disarm();

private:
    using Clock = std::chrono::steady_clock;

    void Watch();

    const uint32_t m_timeoutMs;
    const std::function<void(isc_db_handle)> m_abortCall;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_armed = false;
    isc_db_handle m_attachment = 0;
    bool m_aborted = false;
    bool m_stop = false;
    Clock::time_point m_deadline;
    // What the helper sleeps towards: max() while it waits for the next Arm.
    Clock::time_point m_sleepingUntil = Clock::time_point::max();

    std::thread m_thread;
};
