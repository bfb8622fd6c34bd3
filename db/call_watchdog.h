#pragma once

#include "core/steady_clock.h"

#include <ibase.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// How a watched call was cancelled: not at all, asked to stop (the server answers with its own error), or
// aborted (the link was broken locally, so the call returned with a lost-connection error).
enum class TFbCallCancel { None, Raised, Aborted };

// How a watched call ended: how far it was cancelled, how long it waited, and whether the cancel was a
// hurry's, sent before the call had reached its limit (the call was cut short, it did not fail by itself).
struct TFbCallEnd {
    TFbCallCancel cancel = TFbCallCancel::None;
    std::chrono::milliseconds waited{0};
    bool cutShort = false;
};

// Puts a time limit on blocking client calls, with an escalation. One helper thread sleeps until the next
// deadline of the call in progress. When a call outlives the limit the thread first asks the server to cancel
// it (a live server stops the statement and answers with its own error, the attachment stays); only when the
// call is still blocked a grace period later does it abort the link. The thread does nothing else: every
// consequence is handled on the calling thread.
//
// Hurry (Stop, or the end of the run) shortens both steps for the call in progress and for every call made
// while it lasts, so that the caller is free within about two seconds whatever the server does.
//
// No lock is held across a cancel call, and each runs on a thread of its own: Hurry never waits for the
// client library, and an abort is sent on time even while the library holds the cancel before it.
//
// Arm/Disarm take an uncontended mutex and read the monotonic clock; the helper is woken only when it sleeps
// without a deadline or a nearer deadline arrives, so a steady series of calls makes no system call.
class TFbCallWatchdog {
public:
    static constexpr std::chrono::milliseconds kGrace{2000};
    // In a hurry: the cancel after this long, the abort after kHurryAbort from the cancel or the hurry.
    static constexpr std::chrono::milliseconds kHurryRaise{250};
    static constexpr std::chrono::milliseconds kHurryAbort{1750};

    TFbCallWatchdog(uint32_t timeoutMs, std::function<void(isc_db_handle attachment, TFbCallCancel step)> cancel,
                    const TSteadyClock& clock = TSteadyClock::System());
    ~TFbCallWatchdog();
    TFbCallWatchdog(const TFbCallWatchdog&) = delete;
    TFbCallWatchdog& operator=(const TFbCallWatchdog&) = delete;

    uint32_t TimeoutMs() const { return m_timeoutMs; }

    void Arm(isc_db_handle attachment);
    // How the call armed last ended.
    TFbCallEnd Disarm();
    // May be called from any thread.
    void Hurry(bool hurry);
    // Cancel calls begun so far (each is made a moment later on its own thread).
    size_t CancelsMade() const;

private:
    using TimePoint = TSteadyClock::time_point;

    void Watch();
    void JoinCancels();
    TimePoint NextStep() const;

    const uint32_t m_timeoutMs;
    const TSteadyClock& m_clock;
    const std::function<void(isc_db_handle, TFbCallCancel)> m_cancel;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    // Each cancel call runs on a thread of its own, without the lock.
    std::vector<std::thread> m_cancelThreads;
    int m_cancelsInFlight = 0;
    size_t m_cancelsMade = 0;
    std::condition_variable m_cancelEnded;
    bool m_armed = false;
    isc_db_handle m_attachment = 0;
    TFbCallCancel m_done = TFbCallCancel::None;
    bool m_cutShort = false;
    bool m_stop = false;
    TimePoint m_armedAt;
    TimePoint m_raisedAt;
    bool m_hurry = false;
    TimePoint m_hurryFrom;
    // What the helper sleeps towards: max() while it waits for the next Arm.
    TimePoint m_sleepingUntil = TimePoint::max();

    std::thread m_thread;
};
