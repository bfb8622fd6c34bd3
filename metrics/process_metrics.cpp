#include "metrics/process_metrics.h"

#include <prometheus/metric_family.h>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace {
prometheus::MetricFamily Family(const char* name, const char* help, prometheus::MetricType type,
                                double value) {
    prometheus::ClientMetric metric;
    if (type == prometheus::MetricType::Counter)
        metric.counter.value = value;
    else
        metric.gauge.value = value;
    return {name, help, type, {metric}};
}

std::string FileText(const char* path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The fields of /proc/self/stat after the command's name, which may hold spaces and parentheses itself:
// fields[0] is the state (field 3 in proc(5)).
std::vector<std::string> StatFields() {
    const std::string stat = FileText("/proc/self/stat");
    const size_t close = stat.rfind(')');
    std::vector<std::string> fields;
    if (close == std::string::npos)
        return fields;
    std::istringstream rest(stat.substr(close + 1));
    for (std::string field; rest >> field;)
        fields.push_back(field);
    return fields;
}

// When the machine booted, in Unix seconds: the btime line of /proc/stat.
std::optional<double> BootTime() {
    std::istringstream stat(FileText("/proc/stat"));
    for (std::string line; std::getline(stat, line);)
        if (line.rfind("btime ", 0) == 0)
            return std::stod(line.substr(6));
    return std::nullopt;
}

std::optional<double> OpenFds() {
    DIR* folder = opendir("/proc/self/fd");
    if (folder == nullptr)
        return std::nullopt;
    double count = 0;
    while (const dirent* entry = readdir(folder))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(folder);
    return count - 1; // the folder's own descriptor, open while it is read
}
} // namespace

std::vector<prometheus::MetricFamily> TProcessMetrics::Collect() const {
    using prometheus::MetricType;
    std::vector<prometheus::MetricFamily> families;
    // utime, stime, starttime and rss are the fields 14, 15, 22 and 24 of proc(5).
    const std::vector<std::string> stat = StatFields();
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    if (stat.size() > 21) {
        families.push_back(Family("process_cpu_seconds_total",
                                  "Total user and system CPU time spent in seconds.", MetricType::Counter,
                                  (std::stod(stat[11]) + std::stod(stat[12])) / ticks));
        families.push_back(Family("process_resident_memory_bytes", "Resident memory size in bytes.",
                                  MetricType::Gauge,
                                  std::stod(stat[21]) * static_cast<double>(sysconf(_SC_PAGESIZE))));
        if (const auto boot = BootTime())
            families.push_back(Family("process_start_time_seconds",
                                      "Start time of the process since unix epoch in seconds.",
                                      MetricType::Gauge, *boot + std::stod(stat[19]) / ticks));
    }
    if (const auto open = OpenFds())
        families.push_back(
            Family("process_open_fds", "Number of open file descriptors.", MetricType::Gauge, *open));
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        families.push_back(Family("process_max_fds", "Maximum number of open file descriptors.",
                                  MetricType::Gauge, static_cast<double>(limit.rlim_cur)));
    return families;
}
