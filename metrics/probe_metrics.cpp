#include "metrics/probe_metrics.h"

#include <prometheus/family.h>

#include <algorithm>
#include <chrono>

namespace {
// From a quarter of a millisecond (a statement answered from the server's cache on a near link) to 120 s (a
// cycle of many executions, or a call near its limit), about three buckets to each tenfold.
const prometheus::Histogram::BucketBoundaries CycleBuckets = {0.00025, 0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
                                                              0.05,    0.1,    0.25,  0.5,    1,     2.5,  5,
                                                              10,      30,     60,    120};

template <typename Builder>
auto& Registered(Builder builder, const char* name, const char* help, prometheus::Registry& registry,
                 const std::string& target) {
    return builder.Name(name).Help(help).Labels({{"target", target}}).Register(registry);
}
} // namespace

TProbeMetrics::TProbeMetrics(const std::string& target, std::shared_ptr<const TOutageLedger> ledger)
    : m_ledger(std::move(ledger)) {
    using namespace prometheus;
    m_up = &Registered(BuildGauge(), "quorvane_up", "1 while attached and the last cycle succeeded, else 0",
                       m_registry, target)
                .Add({});
    m_running = &Registered(BuildGauge(), "quorvane_running", "1 while a run is going (from Start to Stop), else 0",
                            m_registry, target)
                     .Add({});
    auto& cycles =
        Registered(BuildCounter(), "quorvane_cycles_total", "Measured cycles by outcome", m_registry, target);
    m_cyclesOk = &cycles.Add({{"outcome", "ok"}});
    m_cyclesFailed = &cycles.Add({{"outcome", "failed"}});
    auto& failedCycles = Registered(BuildCounter(), "quorvane_failed_cycles_total", "Failed cycles by cause",
                                    m_registry, target);
    auto& outages =
        Registered(BuildCounter(), "quorvane_outages_total", "Outages begun, by cause", m_registry, target);
    auto& outageInfo = Registered(BuildGauge(), "quorvane_outage_info",
                                  "1 while an outage of that cause lasts, else 0", m_registry, target);
    for (const TFailureCause cause : kAllFailureCauses) {
        m_failedCycles[cause] = &failedCycles.Add({{"cause", CauseName(cause)}});
        m_outages[cause] = &outages.Add({{"cause", CauseName(cause)}});
        m_outageInfo[cause] = &outageInfo.Add({{"cause", CauseName(cause)}});
    }
    m_cycleDuration = &Registered(BuildHistogram(), "quorvane_cycle_duration_seconds",
                                  "Elapsed time of the good cycles", m_registry, target)
                           .Add({}, CycleBuckets);
    m_outageSeconds = &Registered(BuildCounter(), "quorvane_outage_seconds_total",
                                  "Time spent in outages, the one under way included", m_registry, target)
                           .Add({});
    m_outageStart = &Registered(BuildGauge(), "quorvane_outage_start_timestamp_seconds",
                                "When the outage under way began; 0 when there is none", m_registry, target)
                         .Add({});
    auto& reattaches = Registered(BuildCounter(), "quorvane_reattach_attempts_total",
                                  "Re-attach attempts during outages by outcome", m_registry, target);
    m_reattachOk = &reattaches.Add({{"outcome", "ok"}});
    m_reattachFailed = &reattaches.Add({{"outcome", "failed"}});
    m_lastSuccess = &Registered(BuildGauge(), "quorvane_last_success_timestamp_seconds",
                                "When the last good cycle ended; 0 before the first", m_registry, target)
                         .Add({});
    m_clockOffset = &Registered(BuildGauge(), "quorvane_server_clock_offset_seconds",
                                "The server's clock less the local clock: UTC against UTC on Firebird 4 and later, "
                                "the server's local time against ours on Firebird 3",
                                m_registry, target)
                         .Add({});
    Registered(BuildGauge(), "quorvane_build_info", "The program's version", m_registry, target)
        .Add({{"version", QUORVANE_VERSION}})
        .Set(1);
}

// A new run's timeline starts from nothing; the counters hold the earlier runs' outages already.
void TProbeMetrics::Started(TDateTime, bool attached) {
    std::lock_guard lock(m_refreshMutex);
    m_countedOutages = 0;
    m_countedOutageMs = 0;
    m_lastCycleOk = attached;
}

void TProbeMetrics::CycleBegun(TDateTime) {
    m_cycleBegunAt = std::chrono::steady_clock::now();
}

// The row's whole milliseconds are the difference of two millisecond counts: the cycle took more than one less
// and less than one more. The steady clock from the cycle's beginning to its row tells where in that range;
// kept in it, what the other sinks took meanwhile cannot move the figure by a millisecond.
void TProbeMetrics::RowMeasured(const TLogRow& row) {
    const std::chrono::duration<double> sinceBegun = std::chrono::steady_clock::now() - m_cycleBegunAt;
    std::lock_guard lock(m_refreshMutex);
    m_lastCycleOk = row.Error.empty();
    if (!m_lastCycleOk) {
        m_cyclesFailed->Increment();
        m_failedCycles.at(row.Cause.value_or(TFailureCause::Client))->Increment();
        return;
    }
    m_cyclesOk->Increment();
    m_cycleDuration->Observe(std::clamp(sinceBegun.count(), std::max(row.Value - 1, 0) / 1000.0,
                                        (row.Value + 1) / 1000.0));
    m_lastSuccessMs = TOutageLedger::Ms(row.Time);
}

void TProbeMetrics::ReattachFailed(TDateTime, const TFailure&) {
    m_reattachFailed->Increment();
}

void TProbeMetrics::Reattached(TDateTime) {
    m_reattachOk->Increment();
}

// The outage counters move by what the timeline has gained since the last scrape; a clock difference that the
// run measured anew may move times back a little, which a counter does not follow. The run's times are the
// server's wall clock, which may lie in another zone or be wrong: a timestamp is the time that far before now
// by this machine's clock.
void TProbeMetrics::Refresh() const {
    const TOutageLedger::TState state = m_ledger->State();
    const double unixNow =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    const auto unixTime = [&](int64_t runMs) {
        return unixNow - static_cast<double>(state.nowMs - runMs) / 1000;
    };
    std::lock_guard lock(m_refreshMutex);
    if (state.outages > m_countedOutages) {
        const std::vector<TOutage> fresh = m_ledger->Outages(m_countedOutages);
        for (const TOutage& outage : fresh)
            m_outages.at(outage.failure.cause)->Increment();
        m_countedOutages += fresh.size();
    }
    for (const auto& [cause, info] : m_outageInfo)
        info->Set(state.outage && state.outage->failure.cause == cause ? 1 : 0);
    if (state.outageMs > m_countedOutageMs) {
        m_outageSeconds->Increment(static_cast<double>(state.outageMs - m_countedOutageMs) / 1000);
        m_countedOutageMs = state.outageMs;
    }
    m_up->Set(state.running && m_lastCycleOk && !state.outage ? 1 : 0);
    m_running->Set(state.running ? 1 : 0);
    if (m_lastSuccessMs)
        m_lastSuccess->Set(unixTime(*m_lastSuccessMs));
    m_outageStart->Set(state.outage ? unixTime(state.outage->startMs) : 0);
    m_clockOffset->Set(0.0 - state.clockDifference * 86400); // never "-0"
}

std::vector<prometheus::MetricFamily> TProbeMetrics::Collect() const {
    Refresh();
    return m_registry.Collect();
}
