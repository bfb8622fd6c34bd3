#include "db/call_watchdog.h"

TFbCallWatchdog::TFbCallWatchdog(uint32_t timeoutMs, std::function<void(isc_db_handle)> abortCall)
    : m_timeoutMs(timeoutMs), m_abortCall(std::move(abortCall)), m_thread([this] { Watch(); }) {}

TFbCallWatchdog::~TFbCallWatchdog() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void TFbCallWatchdog::Arm(isc_db_handle attachment) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_timeoutMs);
    bool wake;
    {
        std::lock_guard lock(m_mutex);
        m_deadline = deadline;
        m_armed = true;
        m_attachment = attachment;
        m_aborted = false;
        wake = deadline < m_sleepingUntil;
    }
    if (wake)
        m_wake.notify_one();
}

bool TFbCallWatchdog::Disarm() {
    std::lock_guard lock(m_mutex);
    m_armed = false;
    return m_aborted;
}

void TFbCallWatchdog::Watch() {
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        if (!m_armed) {
            m_sleepingUntil = Clock::time_point::max();
            m_wake.wait(lock);
            continue;
        }
        if (Clock::now() < m_deadline) {
            m_sleepingUntil = m_deadline;
            m_wake.wait_until(lock, m_deadline);
            continue;
        }
        // Aborting under the lock: a Disarm racing with the deadline then either comes first (no abort) or
        // learns that its call was aborted.
        m_armed = false;
        m_aborted = true;
        m_abortCall(m_attachment);
    }
}
