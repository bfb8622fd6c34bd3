// The journal's cost per row: each row is written to the file at once, checked to be still at its path and put
// on the disk at most once a second. Set against making the same line alone, which the run pays anyway for the
// standard output of a run without a window. Run: build/bench/probe/journal_bench
#include "log/csv_line_writer.h"
#include "log/csv_stream_format.h"
#include "probe/journal.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>

namespace {

constexpr int Rows = 100'000;

// A row at a 1-second period; one in ten carries an outage's error text.
TLogRow RowAt(int i) {
    static const std::string error = "Form1.FDB: Cannot perform operation -- DB is not open.";
    return {EncodeDate(2026, 12, 1) + i / 86400.0, i % 97, i % 10 == 0 ? error : std::string(), std::nullopt};
}

// Wall time per row: the file's cost is the system's, not only this thread's processor time.
double MicrosecondsPerRow(const benchmark::State& state, std::chrono::steady_clock::time_point started) {
    const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - started;
    return elapsed.count() / (static_cast<double>(state.iterations()) * Rows);
}

void BM_JournalAppend(benchmark::State& state) {
    QTemporaryDir folder;
    int reports = 0;
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : state) {
        TJournal journal(QDir(folder.path()).filePath("run.tsv").toStdString(), QDateTime::currentDateTime(),
                         [&](const Exception&) { ++reports; });
        for (int i = 0; i < Rows; ++i)
            journal.Append(RowAt(i));
    }
    state.counters["us_per_row"] = MicrosecondsPerRow(state, started);
    state.counters["failures"] = reports;
}
BENCHMARK(BM_JournalAppend)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_LineAlone(benchmark::State& state) {
    TCsvLineWriter lines = TCsvStreamFormat().LineWriter();
    size_t bytes = 0;
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (int i = 0; i < Rows; ++i) {
            const TLogRow row = RowAt(i);
            bytes += lines.RowLine(row).size();
        }
    }
    benchmark::DoNotOptimize(bytes);
    state.counters["us_per_row"] = MicrosecondsPerRow(state, started);
}
BENCHMARK(BM_LineAlone)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // The journal's once-a-second disk sync is a timer of this thread.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
