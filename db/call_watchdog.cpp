#include "db/call_watchdog.h"

#include <algorithm>

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

TFbCallEnd TFbCallWatchdog::Disarm() {
    const TimePoint now = m_clock.Now();
    std::lock_guard lock(m_mutex);
    m_armed = false;
    return {m_done, std::chrono::duration_cast<std::chrono::milliseconds>(now - m_armedAt), m_cutShort};
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
        // Cancelling under the lock: a Disarm racing with the deadline then either comes first (no cancel) or
        // learns how its call was cancelled.
        if (m_done == TFbCallCancel::None)
            m_cutShort = now < m_armedAt + std::chrono::milliseconds(m_timeoutMs);
        m_done = m_done == TFbCallCancel::None ? TFbCallCancel::Raised : TFbCallCancel::Aborted;
        m_raisedAt = now;
        m_cancel(m_attachment, m_done);
    }
}
