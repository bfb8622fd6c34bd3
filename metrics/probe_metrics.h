#pragma once

#include "probe/outage_ledger.h"
#include "probe/probe_sink.h"

#include <prometheus/collectable.h>
#include <prometheus/counter.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

// The run as Prometheus sees it: a sink of the run's rows and re-attaches, and a reader of the run's outage
// ledger, whose series a scrape collects. The outage figures are the ledger's at the scrape's moment, so a
// scrape during an outage sees it although the run, blocked in a call, tells nothing. Every series carries
// the label target. Counters go on across the runs of one program (Stop and Start again).
class TProbeMetrics : public IProbeSink, public prometheus::Collectable {
public:
    TProbeMetrics(const std::string& target, std::shared_ptr<const TOutageLedger> ledger);

    std::vector<prometheus::MetricFamily> Collect() const override;

    void Started(TDateTime at, bool attached) override;
    void CycleBegun(TDateTime at) override;
    void RowMeasured(const TLogRow& row) override;
    void ReattachFailed(TDateTime at, const TFailure& failure) override;
    void Reattached(TDateTime at) override;

private:
    void Refresh() const;

    // The series live as long as the registry; the pointers are set once, by the constructor.
    prometheus::Registry m_registry;
    const std::shared_ptr<const TOutageLedger> m_ledger;
    prometheus::Gauge* m_up = nullptr;
    prometheus::Gauge* m_running = nullptr;
    prometheus::Counter* m_cyclesOk = nullptr;
    prometheus::Counter* m_cyclesFailed = nullptr;
    std::map<TFailureCause, prometheus::Counter*> m_failedCycles;
    prometheus::Histogram* m_cycleDuration = nullptr;
    std::map<TFailureCause, prometheus::Counter*> m_outages;
    std::map<TFailureCause, prometheus::Gauge*> m_outageInfo;
    prometheus::Counter* m_outageSeconds = nullptr;
    prometheus::Gauge* m_outageStart = nullptr;
    prometheus::Counter* m_reattachOk = nullptr;
    prometheus::Counter* m_reattachFailed = nullptr;
    prometheus::Gauge* m_lastSuccess = nullptr;
    prometheus::Gauge* m_clockOffset = nullptr;

    // What of the current run's outages the counters hold already (the one under way is counted under the
    // cause it had when first seen); guarded by m_refreshMutex.
    mutable std::mutex m_refreshMutex;
    mutable size_t m_countedOutages = 0;
    mutable int64_t m_countedOutageMs = 0;
    mutable bool m_lastCycleOk = false;
    std::optional<int64_t> m_lastSuccessMs; // on the run's clock
    // When the cycle under way began by the steady clock: the row's whole milliseconds are too coarse for a
    // statement that takes a fraction of one. Only the run's thread uses it.
    std::chrono::steady_clock::time_point m_cycleBegunAt;
};
