#include "log/outage_timeline.h"

#include "core/exceptions.h"

#include <algorithm>

void TOutageTimeline::Begin(int64_t startMs) {
    *this = TOutageTimeline(m_periodMs);
    m_begun = true;
    m_startMs = startMs;
    m_lastGoodEndMs = startMs;
}

void TOutageTimeline::CallBegun(int64_t atMs) {
    if (!m_endMs)
        m_callBegunMs = atMs;
}

void TOutageTimeline::CallEnded(int64_t atMs) {
    if (!m_callBegunMs)
        return;
    const int64_t waited = atMs - *m_callBegunMs;
    m_callBegunMs.reset();
    if (m_periodMs > 0 && waited > m_periodMs)
        m_longestCallMs = std::max(m_longestCallMs.value_or(0), waited);
}

std::optional<int64_t> TOutageTimeline::HangMs(int64_t nowMs) const {
    if (m_periodMs <= 0)
        return std::nullopt;
    std::optional<int64_t> hang = m_longestCallMs;
    if (m_callBegunMs && nowMs - *m_callBegunMs > m_periodMs)
        hang = std::max(hang.value_or(0), nowMs - *m_callBegunMs);
    return hang;
}

TOutage TOutageTimeline::HangOutage(int64_t waitedMs) const {
    TOutage outage;
    outage.startMs = m_lastGoodEndMs;
    outage.ongoing = true;
    outage.failure = {TFailureCause::NoAnswer,
                      FormatText("No answer from the server for %lld s.", static_cast<long long>(waitedMs / 1000))};
    return outage;
}

std::optional<TOutage> TOutageTimeline::Close(int64_t atMs) {
    if (!m_open)
        return std::nullopt;
    m_open->endMs = std::max(atMs, m_open->startMs);
    m_open->ongoing = false;
    m_closedMs += m_open->endMs - m_open->startMs;
    m_closed.push_back(std::move(*m_open));
    m_open.reset();
    return m_closed.back();
}

TOutageTimeline::TChange TOutageTimeline::Row(int64_t atMs, const std::optional<TFailure>& failure) {
    if (!m_begun)
        Begin(atMs);
    TChange change;
    if (m_endMs)
        return change;
    const std::optional<int64_t> hang = HangMs(atMs);
    m_callBegunMs.reset();
    m_longestCallMs.reset();
    if (failure) {
        if (!m_open) {
            m_open = TOutage{};
            m_open->startMs = m_lastGoodEndMs;
            m_open->ongoing = true;
            m_open->failure = *failure;
            change.begun = m_open;
        }
        ++m_open->rows;
        return change;
    }
    // A good cycle one of whose calls hung longer than one period was an outage while it hung: it ends now.
    if (!m_open && hang) {
        m_open = HangOutage(*hang);
        change.begun = m_open;
    }
    change.ended = Close(atMs);
    m_lastGoodEndMs = atMs;
    return change;
}

void TOutageTimeline::ReattachFailed(const TFailure& failure) {
    if (!m_open || m_endMs)
        return;
    ++m_open->failedReattaches;
    m_open->lastReattach = failure;
}

TOutageTimeline::TChange TOutageTimeline::End(int64_t atMs) {
    if (!m_begun)
        Begin(atMs);
    TChange change;
    if (m_endMs)
        return change;
    if (const std::optional<int64_t> hang = HangMs(atMs); hang && !m_open) {
        m_open = HangOutage(*hang);
        change.begun = m_open;
    }
    m_callBegunMs.reset();
    m_longestCallMs.reset();
    m_endMs = std::max(atMs, m_lastGoodEndMs);
    return change;
}

int64_t TOutageTimeline::Clamped(int64_t nowMs) const {
    return m_endMs ? *m_endMs : std::max(nowMs, m_startMs);
}

std::optional<TOutage> TOutageTimeline::Current(int64_t nowMs) const {
    std::optional<TOutage> current = m_open;
    if (!current) {
        const std::optional<int64_t> hang = m_endMs ? std::nullopt : HangMs(nowMs);
        if (!hang)
            return std::nullopt;
        current = HangOutage(*hang);
    }
    current->endMs = std::max(Clamped(nowMs), current->startMs);
    return current;
}

std::vector<TOutage> TOutageTimeline::Outages(int64_t nowMs, size_t first) const {
    std::vector<TOutage> outages(m_closed.begin() + static_cast<ptrdiff_t>(std::min(first, m_closed.size())),
                                 m_closed.end());
    if (std::optional<TOutage> current = Current(nowMs); current && m_closed.size() >= first)
        outages.push_back(std::move(*current));
    return outages;
}

size_t TOutageTimeline::OutageCount(int64_t nowMs) const {
    return m_closed.size() + (Current(nowMs) ? 1 : 0);
}

int64_t TOutageTimeline::OutageMs(int64_t nowMs) const {
    const std::optional<TOutage> current = Current(nowMs);
    return m_closedMs + (current ? current->endMs - current->startMs : 0);
}

int64_t TOutageTimeline::RunMs(int64_t nowMs) const {
    return m_begun ? Clamped(nowMs) - m_startMs : 0;
}

double TOutageTimeline::Availability(int64_t nowMs) const {
    const int64_t runMs = RunMs(nowMs);
    if (runMs <= 0)
        return OutageCount(nowMs) > 0 ? 0 : 1;
    return 1 - static_cast<double>(std::min(OutageMs(nowMs), runMs)) / static_cast<double>(runMs);
}

double AvailabilityOver(const std::vector<TOutage>& outages, int64_t fromMs, int64_t toMs) {
    int64_t outageMs = 0;
    bool inside = false;
    for (const TOutage& outage : outages) {
        const int64_t from = std::max(outage.startMs, fromMs);
        const int64_t to = std::min(outage.endMs, toMs);
        inside = inside || (from <= to && outage.startMs <= toMs && outage.endMs >= fromMs);
        outageMs += std::max<int64_t>(0, to - from);
    }
    if (toMs <= fromMs)
        return inside ? 0 : 1;
    return 1 - static_cast<double>(std::min(outageMs, toMs - fromMs)) / static_cast<double>(toMs - fromMs);
}
