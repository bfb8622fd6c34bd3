#include "metrics/probe_metrics.h"

#include <prometheus/text_serializer.h>

#include <QDateTime>
#include <QTest>
#include <gtest/gtest.h>
#include <regex>

namespace {

// The value of the one series of that name (and labels) in the text a scrape gets; NaN when missing.
double Value(const std::string& text, const std::string& series) {
    const std::regex line(
        "(^|\n)" + std::regex_replace(series, std::regex(R"([{}\[\]().+*?^$|\\])"), R"(\$&)") + " ([^\n]+)");
    std::smatch match;
    return std::regex_search(text, match, line) ? std::stod(match[2].str()) : std::nan("");
}

std::string Scrape(const TProbeMetrics& metrics) {
    return prometheus::TextSerializer().Serialize(metrics.Collect());
}

double UnixNow() { return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000; }

// The run's clock: the server's, here an hour ahead of this machine's (another zone, or a wrong clock).
TDateTime ServerNow() { return Now() + 1.0 / 24; }

} // namespace

// A cycle that has waited longer than a period is an outage now, although no row says so: up falls, the
// outage's seconds and start are there at the scrape. Every series carries the target; the timestamps are
// this machine's Unix time, whatever the server's clock reads.
TEST(ProbeMetrics, AScrapeDuringAHungCallSeesTheOutageAndTheCountersGoOnAcrossRuns) {
    TProbeMetrics metrics("site-a");
    metrics.SetPeriodMs(1000);
    metrics.Started(ServerNow(), true);
    metrics.CycleBegun(ServerNow());
    const double goodEnd = UnixNow();
    metrics.RowMeasured({ServerNow(), 4, ""});
    metrics.CycleBegun(ServerNow());
    metrics.ReattachFailed(ServerNow(), "Form1.FDB:\r\nrefused");
    EXPECT_EQ(Value(Scrape(metrics), R"(quorvane_up{target="site-a"})"), 1);
    QTest::qSleep(1500);

    const std::string hung = Scrape(metrics);
    EXPECT_EQ(Value(hung, R"(quorvane_up{target="site-a"})"), 0);
    EXPECT_EQ(Value(hung, R"(quorvane_cycles_total{target="site-a",outcome="ok"})"), 1);
    EXPECT_EQ(Value(hung, R"(quorvane_outages_total{target="site-a"})"), 1);
    EXPECT_NEAR(Value(hung, R"(quorvane_outage_seconds_total{target="site-a"})"), 1.5, 0.3);
    EXPECT_NEAR(Value(hung, R"(quorvane_outage_start_timestamp_seconds{target="site-a"})"), goodEnd, 0.05);
    EXPECT_NEAR(Value(hung, R"(quorvane_last_success_timestamp_seconds{target="site-a"})"), goodEnd, 0.05);
    EXPECT_NEAR(Value(hung, R"(quorvane_server_clock_offset_seconds{target="site-a"})"), 3600, 0.05);
    EXPECT_EQ(Value(hung, R"(quorvane_reattach_attempts_total{target="site-a",outcome="failed"})"), 1);
    EXPECT_EQ(Value(hung, R"(quorvane_cycle_duration_seconds_bucket{target="site-a",le="0.005"})"), 1);
    EXPECT_EQ(Value(hung, R"(quorvane_cycle_duration_seconds_bucket{target="site-a",le="0.0025"})"), 0);
    EXPECT_EQ(Value(hung, R"(quorvane_build_info{target="site-a",version=")" QUORVANE_VERSION R"("})"), 1);
    EXPECT_EQ(metrics.State().failedReattaches, 1);
    EXPECT_EQ(metrics.State().lastReattachError, "refused");

    // The call ends good: the outage is over; a new run starts its timeline afresh under the same counters.
    metrics.RowMeasured({ServerNow(), 1500, ""});
    const std::string recovered = Scrape(metrics);
    EXPECT_EQ(Value(recovered, R"(quorvane_up{target="site-a"})"), 1);
    EXPECT_EQ(Value(recovered, R"(quorvane_outage_start_timestamp_seconds{target="site-a"})"), 0);
    const double outageSeconds = Value(recovered, R"(quorvane_outage_seconds_total{target="site-a"})");
    EXPECT_NEAR(outageSeconds, 1.5, 0.3);
    metrics.Stopped(ServerNow());
    EXPECT_EQ(Value(Scrape(metrics), R"(quorvane_up{target="site-a"})"), 0);
    metrics.Started(ServerNow(), true);
    metrics.RowMeasured({ServerNow(), 0, "Form1.qry1:\r\nlost"});
    const std::string second = Scrape(metrics);
    EXPECT_EQ(Value(second, R"(quorvane_up{target="site-a"})"), 0);
    EXPECT_EQ(Value(second, R"(quorvane_outages_total{target="site-a"})"), 2);
    EXPECT_GE(Value(second, R"(quorvane_outage_seconds_total{target="site-a"})"), outageSeconds);
    EXPECT_EQ(Value(second, R"(quorvane_cycles_total{target="site-a",outcome="failed"})"), 1);
}
