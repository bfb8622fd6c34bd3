#pragma once

#include <prometheus/collectable.h>

// The standard process series that every dashboard of a Prometheus exporter expects
// (process_cpu_seconds_total, process_resident_memory_bytes, process_start_time_seconds, process_open_fds,
// process_max_fds), read from /proc at each scrape. prometheus-cpp has no such collector of its own. A figure
// that cannot be read is left out rather than served as 0.
class TProcessMetrics : public prometheus::Collectable {
public:
    std::vector<prometheus::MetricFamily> Collect() const override;
};
