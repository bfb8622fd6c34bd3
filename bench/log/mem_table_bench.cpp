// The log table over a week-long run: memory and time of one million appends, saving them, deleting a
// spread selection. Run: build/bench/log/mem_table_bench
#include "log/csv_stream_format.h"
#include "log/mem_table.h"

#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <fstream>
#include <unistd.h>

namespace {

constexpr int Rows = 1'000'000;

// Resident memory of this process in bytes.
double ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// A run at a 1-second period; 10% of the rows carry one of a few long error texts, as an outage does.
void FillLog(TMemTable& table, int rows) {
    static const std::string errors[] = {
        std::string("Unable to complete network request to host \"dbserver\".\r\nFailed to establish a connection.") +
            std::string(120, '.'),
        std::string("DB is not open\r\n") + std::string(200, '-'),
        std::string("connection lost to database\r\n") + std::string(250, '~'),
    };
    const TDateTime start = EncodeDate(2025, 12, 1);
    for (int i = 0; i < rows; ++i) {
        table.BeginAppend();
        table.MTTime.SetAsDateTime(start + i / 86400.0);
        table.MTValue.SetAsInteger(i % 97);
        table.MTError.SetAsString(i % 10 == 0 ? errors[i / 10 % 3] : std::string());
        table.PostRecord();
    }
}

// This thread's processor time in seconds, user and system: the machine may be shared, wall time is noisy.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

QString SavePath(const char* name) { return QDir::temp().filePath(QString("qv-bench-%1-%2").arg(getpid()).arg(name)); }

void BM_AppendMillionRows(benchmark::State& state) {
    for (auto _ : state) {
        const double before = ResidentBytes();
        const auto started = std::chrono::steady_clock::now();
        TMemTable table;
        FillLog(table, Rows);
        const auto elapsed = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - started);
        const double growth = ResidentBytes() - before;
        state.counters["ns_per_append"] = elapsed.count() / Rows;
        state.counters["rss_growth_MB"] = growth / (1024.0 * 1024.0);
        state.counters["bytes_per_row"] = growth / Rows;
    }
}
BENCHMARK(BM_AppendMillionRows)->Iterations(1)->Unit(benchmark::kMillisecond);

// The save against one plain write of the same bytes to a file of its own.
void BM_SaveMillionRows(benchmark::State& state) {
    TCsvStreamFormat format;
    TMemTable table;
    table.SetDefaultFormat(&format);
    FillLog(table, Rows);
    const QString savePath = SavePath("save.txt");
    const QString plainPath = SavePath("plain.txt");
    double saveSeconds = 0;
    double plainSeconds = 0;
    double saveCpu = 0;
    double plainCpu = 0;
    qint64 bytes = 0;
    for (auto _ : state) {
        auto started = std::chrono::steady_clock::now();
        double cpu = ThreadSeconds();
        table.SaveAsText(savePath);
        saveCpu += ThreadSeconds() - cpu;
        saveSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

        QFile saved(savePath);
        saved.open(QIODevice::ReadOnly);
        const QByteArray content = saved.readAll();
        bytes = content.size();
        started = std::chrono::steady_clock::now();
        cpu = ThreadSeconds();
        QFile plain(plainPath);
        plain.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
        plain.write(content);
        plain.close();
        plainCpu += ThreadSeconds() - cpu;
        plainSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["file_MB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    state.counters["save_MB_per_s"] = static_cast<double>(bytes) * runs / saveSeconds / (1024.0 * 1024.0);
    state.counters["plain_MB_per_s"] = static_cast<double>(bytes) * runs / plainSeconds / (1024.0 * 1024.0);
    state.counters["save_to_plain_ratio"] = saveSeconds / plainSeconds;
    state.counters["save_to_plain_cpu_ratio"] = saveCpu / plainCpu;
    QFile::remove(savePath);
    QFile::remove(plainPath);
}
BENCHMARK(BM_SaveMillionRows)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_DeleteTenThousandBookmarkedRows(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        TMemTable table;
        FillLog(table, Rows);
        std::vector<TBookmark> marks;
        for (int row = 0; row < Rows; row += Rows / 10'000)
            marks.push_back(table.RowBookmark(row));
        state.ResumeTiming();
        table.DeleteRecords(marks);
        benchmark::DoNotOptimize(table.RecordCount());
    }
}
BENCHMARK(BM_DeleteTenThousandBookmarkedRows)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
