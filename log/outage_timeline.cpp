#include "log/outage_timeline.h"

#include <algorithm>
#include <cctype>

namespace {
// "Form1.FDB: Cannot perform ..." -> "Cannot perform ...": a full component name (with its owner's) and ":".
std::string_view WithoutSender(std::string_view line) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || line.substr(0, colon).find('.') == std::string_view::npos)
        return line;
    for (const char c : line.substr(0, colon))
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.')
            return line;
    const size_t text = line.find_first_not_of(' ', colon + 1);
    return text == std::string_view::npos ? line : line.substr(text);
}
} // namespace

std::string ReasonLine(std::string_view error) {
    const auto lineEnd = [&](size_t from) {
        return std::min(error.find_first_of("\r\n", from), error.size());
    };
    size_t end = lineEnd(0);
    std::string_view line = error.substr(0, end);
    if (!line.empty() && line.back() == ':' && end < error.size()) {
        const size_t next = error.find_first_not_of("\r\n", end);
        if (next != std::string_view::npos)
            line = error.substr(next, lineEnd(next) - next);
    }
    return std::string(WithoutSender(line));
}

void TOutageTimeline::Begin(int64_t startMs) {
    *this = TOutageTimeline(m_periodMs);
    m_begun = true;
    m_startMs = startMs;
    m_lastGoodEndMs = startMs;
}

void TOutageTimeline::CycleBegun(int64_t atMs) {
    if (!m_endMs)
        m_cycleBegunMs = atMs;
}

void TOutageTimeline::Open(int64_t startMs) {
    m_open = TOutage{};
    m_open->startMs = startMs;
    m_open->ongoing = true;
}

void TOutageTimeline::Row(int64_t atMs, std::string_view error, TBookmark id) {
    if (!m_begun)
        Begin(atMs);
    if (m_endMs)
        return;
    const bool hung = m_cycleBegunMs && m_periodMs > 0 && atMs - *m_cycleBegunMs > m_periodMs;
    m_cycleBegunMs.reset();
    if (!error.empty()) {
        if (!m_open) {
            Open(m_lastGoodEndMs);
            m_open->first = id;
            m_open->reasonLine = ReasonLine(error);
        }
        ++m_open->rows;
        return;
    }
    // A good cycle that hung longer than one period was an outage while it hung: it ends now.
    if (!m_open && hung) {
        Open(m_lastGoodEndMs);
        m_open->reasonLine = "No answer for " + std::to_string((atMs - m_lastGoodEndMs) / 1000) + " s";
    }
    if (m_open) {
        m_open->endMs = std::max(atMs, m_open->startMs);
        m_open->ongoing = false;
        m_closedMs += m_open->endMs - m_open->startMs;
        m_closed.push_back(std::move(*m_open));
        m_open.reset();
    }
    m_lastGoodEndMs = atMs;
}

void TOutageTimeline::End(int64_t atMs) {
    if (!m_begun)
        Begin(atMs);
    if (!m_endMs)
        m_endMs = std::max(atMs, m_lastGoodEndMs);
}

int64_t TOutageTimeline::Clamped(int64_t nowMs) const {
    return m_endMs ? *m_endMs : std::max(nowMs, m_startMs);
}

std::optional<int64_t> TOutageTimeline::HangMs(int64_t nowMs) const {
    if (!m_cycleBegunMs || m_periodMs <= 0 || m_endMs)
        return std::nullopt;
    const int64_t waited = nowMs - *m_cycleBegunMs;
    return waited > m_periodMs ? std::optional(waited) : std::nullopt;
}

std::optional<TOutage> TOutageTimeline::Current(int64_t nowMs) const {
    std::optional<TOutage> current = m_open;
    if (!current) {
        const std::optional<int64_t> hang = HangMs(nowMs);
        if (!hang)
            return std::nullopt;
        current = TOutage{};
        current->startMs = m_lastGoodEndMs;
        current->ongoing = true;
        current->reasonLine = "No answer for " + std::to_string(*hang / 1000) + " s";
    }
    current->endMs = std::max(Clamped(nowMs), current->startMs);
    return current;
}

std::vector<TOutage> TOutageTimeline::Outages(int64_t nowMs, size_t first) const {
    std::vector<TOutage> outages(m_closed.begin() + static_cast<ptrdiff_t>(std::min(first, m_closed.size())),
                                 m_closed.end());
    if (std::optional<TOutage> current = Current(nowMs))
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
