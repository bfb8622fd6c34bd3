#include "db/call_watchdog.h"

#include <algorithm>
#include <utility>

TFbCallWatchdog::TFbCallWatchdog(uint32_t timeoutMs, std::function<void(isc_db_handle, TFbCallCancel)> cancel,
                                 const TSteadyClock& clock)
    : m_timeoutMs(timeoutMs), m_clock(clock), m_cancel(std::move(cancel)), m_thread([this] { Watch(); }) {
}

TFbCallWatchdog::~TFbCallWatchdog() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
    JoinCancels();
}

void TFbCallWatchdog::Arm(isc_db_handle attachment) {
    const TimePoint now = m_clock.Now();
    bool wake;
    {
        std::lock_guard lock(m_mutex);
        m_armedAt = now;
        m_armed = true;
        m_attachment = attachment;
        m_done = TFbCallCancel::None;
        m_cutShort = false;
        wake = NextStep() < m_sleepingUntil;
    }
    if (wake)
        m_wake.notify_one();
}

// The cancels already on their way are waited for, so that none can reach the caller's next call and the
// caller learns how this one was cancelled; a returned call has freed the link they may have waited for.
TFbCallEnd TFbCallWatchdog::Disarm() {
    const TimePoint now = m_clock.Now();
    TFbCallEnd end;
    {
        std::unique_lock lock(m_mutex);
        m_armed = false; // no further step for a call that has returned
        end = {m_done, std::chrono::duration_cast<std::chrono::milliseconds>(now - m_armedAt), m_cutShort};
        m_cancelEnded.wait(lock, [this] { return m_cancelsInFlight == 0; });
    }
    JoinCancels();
    return end;
}

size_t TFbCallWatchdog::CancelsMade() const {
    std::lock_guard lock(m_mutex);
    return m_cancelsMade;
}

void TFbCallWatchdog::JoinCancels() {
    std::vector<std::thread> ended;
    {
        std::lock_guard lock(m_mutex);
        ended.swap(m_cancelThreads);
    }
    for (std::thread& thread : ended)
        thread.join();
}

void TFbCallWatchdog::Hurry(bool hurry) {
    {
        std::lock_guard lock(m_mutex);
        if (hurry == m_hurry)
            return;
        m_hurry = hurry;
        m_hurryFrom = m_clock.Now();
    }
    m_wake.notify_one();
}

// When the call in progress is due for its next step; called under the lock while armed.
TFbCallWatchdog::TimePoint TFbCallWatchdog::NextStep() const {
    if (m_done == TFbCallCancel::None) {
        TimePoint raiseAt = m_armedAt + std::chrono::milliseconds(m_timeoutMs);
        if (m_hurry)
            raiseAt = std::min(raiseAt, std::max(m_armedAt, m_hurryFrom) + kHurryRaise);
        return raiseAt;
    }
    if (m_done == TFbCallCancel::Raised) {
        TimePoint abortAt = m_raisedAt + kGrace;
        if (m_hurry)
            abortAt = std::min(abortAt, std::max(m_raisedAt, m_hurryFrom) + kHurryAbort);
        return abortAt;
    }
    return TimePoint::max();
}

void TFbCallWatchdog::Watch() {
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        const TimePoint next = m_armed ? NextStep() : TimePoint::max();
        const TimePoint now = m_clock.Now();
        if (now < next) {
            m_sleepingUntil = next;
            m_clock.WaitUntil(m_wake, lock, next);
            continue;
        }
        // Decided under the lock, so that a Disarm racing with the deadline either comes first (no cancel) or
        // learns how its call was cancelled. Sent without it and on a thread of its own: the library may hold
        // a cancel as long as the blocked call itself (a send into a slow link), and then only the abort, which
        // must not wait for it, frees both; Hurry answers at once all the while.
        if (m_done == TFbCallCancel::None)
            m_cutShort = now < m_armedAt + std::chrono::milliseconds(m_timeoutMs);
        m_done = m_done == TFbCallCancel::None ? TFbCallCancel::Raised : TFbCallCancel::Aborted;
        m_raisedAt = now;
        ++m_cancelsInFlight;
        ++m_cancelsMade;
        m_cancelThreads.emplace_back([this, attachment = m_attachment, step = m_done] {
            m_cancel(attachment, step);
            std::lock_guard guard(m_mutex);
            --m_cancelsInFlight;
            m_cancelEnded.notify_all();
        });
    }
}
