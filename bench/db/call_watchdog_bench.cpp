#include "db/call_watchdog.h"

#include <benchmark/benchmark.h>

// The price every client call pays for its time limit: one Arm and one Disarm, with the helper thread asleep.
static void BM_ArmDisarm(benchmark::State& state) {
    TFbCallWatchdog watchdog(30000, [](isc_db_handle, TFbCallCancel) {});
    for (auto _ : state) {
        watchdog.Arm(7);
        benchmark::DoNotOptimize(watchdog.Disarm().cancel);
    }
}
BENCHMARK(BM_ArmDisarm);

BENCHMARK_MAIN();
