#include "probe/outage_watch.h"

#include <cmath>

int64_t TOutageWatch::Ms(TDateTime time) {
    return std::llround(time * MSecsPerDay);
}

void TOutageWatch::SetPeriodMs(int64_t periodMs) {
    std::lock_guard lock(m_mutex);
    m_periodMs = periodMs;
}

// The events carry the run's clock; the time since the last one tells a reader the run's "now".
void TOutageWatch::Learn(TDateTime at) {
    m_lastEventMs = Ms(at);
    m_lastEventAt = std::chrono::steady_clock::now();
}

int64_t TOutageWatch::NowMsLocked() const {
    const auto since = std::chrono::steady_clock::now() - m_lastEventAt;
    return m_lastEventMs + std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
}

int64_t TOutageWatch::NowMs() const {
    std::lock_guard lock(m_mutex);
    return NowMsLocked();
}

void TOutageWatch::Started(TDateTime at, bool) {
    std::lock_guard lock(m_mutex);
    Learn(at);
    m_timeline = TOutageTimeline(m_periodMs);
    m_timeline.Begin(Ms(at));
    m_running = true;
    m_failedReattaches = 0;
    m_lastReattachError.clear();
}

void TOutageWatch::CycleBegun(TDateTime at) {
    std::lock_guard lock(m_mutex);
    Learn(at);
    m_timeline.CycleBegun(Ms(at));
}

void TOutageWatch::RowMeasured(const TLogRow& row) {
    std::lock_guard lock(m_mutex);
    Learn(row.Time);
    m_timeline.Row(Ms(row.Time), row.Error);
    if (row.Error.empty()) {
        m_failedReattaches = 0;
        m_lastReattachError.clear();
    }
}

void TOutageWatch::ReattachFailed(TDateTime at, const std::string& error) {
    std::lock_guard lock(m_mutex);
    Learn(at);
    ++m_failedReattaches;
    m_lastReattachError = ReasonLine(error);
}

void TOutageWatch::Stopped(TDateTime at) {
    std::lock_guard lock(m_mutex);
    Learn(at);
    m_timeline.End(Ms(at));
    m_running = false;
}

TOutageWatch::TState TOutageWatch::State() const {
    std::lock_guard lock(m_mutex);
    TState state;
    state.running = m_running;
    state.nowMs = NowMsLocked();
    state.startMs = m_timeline.StartMs();
    state.outage = m_timeline.Current(state.nowMs);
    state.outages = m_timeline.OutageCount(state.nowMs);
    state.outageMs = m_timeline.OutageMs(state.nowMs);
    state.availability = m_timeline.Availability(state.nowMs);
    state.failedReattaches = m_failedReattaches;
    state.lastReattachError = m_lastReattachError;
    state.clockDifference = Now() - static_cast<TDateTime>(state.nowMs) / MSecsPerDay;
    return state;
}

std::vector<TOutage> TOutageWatch::Outages(size_t first) const {
    std::lock_guard lock(m_mutex);
    return m_timeline.Outages(NowMsLocked(), first);
}

TOutageTimeline TOutageWatch::Timeline() const {
    std::lock_guard lock(m_mutex);
    return m_timeline;
}
