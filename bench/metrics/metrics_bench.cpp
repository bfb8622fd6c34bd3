// The metrics' share of a run: what one measured row costs them (on the run's thread), and what one scrape
// costs with every bucket of the histogram filled (on the exposer's thread).
#include "metrics/probe_metrics.h"

#include <benchmark/benchmark.h>
#include <prometheus/text_serializer.h>

namespace {

// A good row, and one in ten failed, as in an outage.
void MetricsPerRow(benchmark::State& state) {
    TProbeMetrics metrics("localhost:/var/lib/firebird/data/db.fdb");
    metrics.SetPeriodMs(1000);
    metrics.Started(Now(), true);
    int64_t i = 0;
    const std::string error = "Form1.qry1:\r\nUnable to complete network request to host \"db\".";
    TDateTime at = Now(); // the run reads the clock for its row anyway
    for (auto _ : state) {
        const bool failed = ++i % 10 == 0;
        at += 1.0 / MSecsPerDay;
        metrics.CycleBegun(at);
        metrics.RowMeasured({at, static_cast<int32_t>(i % 40000), failed ? error : std::string()});
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(MetricsPerRow);

void ScrapeWithAFullHistogram(benchmark::State& state) {
    TProbeMetrics metrics("localhost:/var/lib/firebird/data/db.fdb");
    metrics.SetPeriodMs(1000);
    metrics.Started(Now(), true);
    for (int32_t ms = 0; ms < 40000; ms += 3)
        metrics.RowMeasured({Now(), ms, ms % 997 == 0 ? "Form1.qry1:\r\nlost" : ""});
    const prometheus::TextSerializer serializer;
    for (auto _ : state)
        benchmark::DoNotOptimize(serializer.Serialize(metrics.Collect()));
}
BENCHMARK(ScrapeWithAFullHistogram);

} // namespace

BENCHMARK_MAIN();
