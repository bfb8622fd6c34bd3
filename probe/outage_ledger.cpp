#include "probe/outage_ledger.h"

#include <cmath>

int64_t TOutageLedger::Ms(TDateTime time) {
    return std::llround(time * MSecsPerDay);
}

void TOutageLedger::Learn(TDateTime at) {
    m_lastEventMs = Ms(at);
    m_lastEventAt = std::chrono::steady_clock::now();
}

int64_t TOutageLedger::NowMsLocked() const {
    const auto since = std::chrono::steady_clock::now() - m_lastEventAt;
    return m_lastEventMs + std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
}

int64_t TOutageLedger::NowMs() const {
    std::lock_guard lock(m_mutex);
    return NowMsLocked();
}

void TOutageLedger::Attaching() {
    std::lock_guard lock(m_mutex);
    m_attachingSince = std::chrono::steady_clock::now();
}

void TOutageLedger::NotStarted() {
    std::lock_guard lock(m_mutex);
    m_attachingSince.reset();
}

void TOutageLedger::Started(TDateTime at, int64_t periodMs) {
    std::lock_guard lock(m_mutex);
    Learn(at);
    m_attachingSince.reset();
    m_timeline = TOutageTimeline(periodMs);
    m_timeline.Begin(Ms(at));
    m_running = true;
}

void TOutageLedger::CallBegun() {
    std::lock_guard lock(m_mutex);
    m_timeline.CallBegun(NowMsLocked());
}

void TOutageLedger::CallEnded() {
    std::lock_guard lock(m_mutex);
    m_timeline.CallEnded(NowMsLocked());
}

TOutageTimeline::TChange TOutageLedger::Row(TDateTime at, const std::optional<TFailure>& failure) {
    std::lock_guard lock(m_mutex);
    Learn(at);
    return m_timeline.Row(Ms(at), failure);
}

void TOutageLedger::ReattachFailed(TDateTime at, const TFailure& failure) {
    std::lock_guard lock(m_mutex);
    Learn(at);
    m_timeline.ReattachFailed(failure);
}

TOutageTimeline::TChange TOutageLedger::Stopped(TDateTime at) {
    std::lock_guard lock(m_mutex);
    Learn(at);
    m_running = false;
    return m_timeline.End(Ms(at));
}

TOutageLedger::TState TOutageLedger::State() const {
    std::lock_guard lock(m_mutex);
    TState state;
    state.running = m_running;
    if (m_attachingSince)
        state.attachingMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - *m_attachingSince)
                                .count();
    state.nowMs = NowMsLocked();
    state.startMs = m_timeline.StartMs();
    state.outage = m_timeline.Current(state.nowMs);
    state.outages = m_timeline.OutageCount(state.nowMs);
    state.outageMs = m_timeline.OutageMs(state.nowMs);
    state.availability = m_timeline.Availability(state.nowMs);
    state.clockDifference = Now() - static_cast<TDateTime>(state.nowMs) / MSecsPerDay;
    return state;
}

TOutageReport TOutageLedger::Report() const {
    std::lock_guard lock(m_mutex);
    TOutageReport report;
    report.nowMs = NowMsLocked();
    report.outages = m_timeline.Outages(report.nowMs);
    if (m_timeline.Begun()) {
        report.runStartMs = m_timeline.StartMs();
        report.nowMs = report.runStartMs + m_timeline.RunMs(report.nowMs);
    }
    return report;
}

std::vector<TOutage> TOutageLedger::Outages(size_t first) const {
    std::lock_guard lock(m_mutex);
    return m_timeline.Outages(NowMsLocked(), first);
}

TOutageTimeline TOutageLedger::Timeline() const {
    std::lock_guard lock(m_mutex);
    return m_timeline;
}
