// The metrics' share of a run: what one measured row costs them (on the run's thread), and what one scrape
// costs with every bucket of the histogram filled (on the exposer's thread).
#include "metrics/probe_metrics.h"

#include <benchmark/benchmark.h>
#include <prometheus/text_serializer.h>

namespace {

// A good row, and one in ten failed, as in an outage.
void MetricsPerRow(benchmark::State& state) {
    const auto ledger = std::make_shared<TOutageLedger>();
    TProbeMetrics metrics("localhost:/var/lib/firebird/data/db.fdb", ledger);
    ledger->Started(Now(), 1000);
    metrics.Started(Now(), true);
    int64_t i = 0;
    const std::string error = "Form1.qry1:\r\nUnable to complete network request to host \"db\".";
    TDateTime at = Now(); // the run reads the clock for its row anyway
    for (auto _ : state) {
        const bool failed = ++i % 10 == 0;
        at += 1.0 / MSecsPerDay;
        metrics.RowMeasured({.Time = at,
                             .Value = static_cast<int32_t>(i % 40000),
                             .Error = failed ? error : std::string(),
                             .Cause = failed ? std::optional(TFailureCause::Network) : std::nullopt});
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(MetricsPerRow);

void ScrapeWithAFullHistogram(benchmark::State& state) {
    const auto ledger = std::make_shared<TOutageLedger>();
    TProbeMetrics metrics("localhost:/var/lib/firebird/data/db.fdb", ledger);
    ledger->Started(Now(), 1000);
    metrics.Started(Now(), true);
    for (int32_t ms = 0; ms < 40000; ms += 3) {
        const bool failed = ms % 997 == 0;
        metrics.RowMeasured({.Time = Now(),
                             .Value = ms,
                             .Error = failed ? "Form1.qry1:\r\nlost" : "",
                             .Cause = failed ? std::optional(TFailureCause::Network) : std::nullopt});
    }
    const prometheus::TextSerializer serializer;
    for (auto _ : state)
        benchmark::DoNotOptimize(serializer.Serialize(metrics.Collect()));
}
BENCHMARK(ScrapeWithAFullHistogram);

} // namespace

BENCHMARK_MAIN();
