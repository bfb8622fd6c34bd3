#include "metrics/probe_metrics.h"
#include "metrics/unix_seconds.h"

#include <prometheus/text_serializer.h>

#include <QTest>
#include <cstdlib>
#include <ctime>
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

} // namespace

// The local zone's offset on the day itself decides, summer time included.
TEST(UnixSeconds, ConvertsLocalTimeWithTheOffsetOfThatDay) {
    const char* zone = std::getenv("TZ");
    const std::string saved = zone ? zone : "";
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    EXPECT_DOUBLE_EQ(UnixSeconds(EncodeDate(2026, 7, 1) + EncodeTime(12, 0, 0, 250)), 1782900000.25);
    EXPECT_DOUBLE_EQ(UnixSeconds(EncodeDate(2026, 1, 15) + EncodeTime(12, 0, 0, 0)), 1768474800);
    zone ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();
    EXPECT_NEAR(UnixSeconds(Now()), static_cast<double>(std::time(nullptr)), 1.5);
}

// A cycle that has waited longer than a period is an outage now, although no row says so: up falls, the
// outage's seconds and start are there at the scrape. Every series carries the target.
TEST(ProbeMetrics, AScrapeDuringAHungCallSeesTheOutageAndTheCountersGoOnAcrossRuns) {
    TProbeMetrics metrics("site-a");
    metrics.SetPeriodMs(1000);
    metrics.Attached(Now());
    metrics.CycleBegun(Now());
    const TDateTime goodEnd = Now();
    metrics.RowMeasured({goodEnd, 4, ""});
    metrics.CycleBegun(Now());
    metrics.ReattachFailed(Now(), "Form1.FDB:\r\nrefused");
    EXPECT_EQ(Value(Scrape(metrics), R"(quorvane_up{target="site-a"})"), 1);
    QTest::qSleep(1500);

    const std::string hung = Scrape(metrics);
    EXPECT_EQ(Value(hung, R"(quorvane_up{target="site-a"})"), 0);
    EXPECT_EQ(Value(hung, R"(quorvane_cycles_total{target="site-a",outcome="ok"})"), 1);
    EXPECT_EQ(Value(hung, R"(quorvane_outages_total{target="site-a"})"), 1);
    EXPECT_NEAR(Value(hung, R"(quorvane_outage_seconds_total{target="site-a"})"), 1.5, 0.3);
    EXPECT_NEAR(Value(hung, R"(quorvane_outage_start_timestamp_seconds{target="site-a"})"),
                UnixSeconds(goodEnd), 0.01);
    EXPECT_NEAR(Value(hung, R"(quorvane_last_success_timestamp_seconds{target="site-a"})"),
                UnixSeconds(goodEnd), 0.01);
    EXPECT_EQ(Value(hung, R"(quorvane_reattach_attempts_total{target="site-a",outcome="failed"})"), 1);
    EXPECT_EQ(Value(hung, R"(quorvane_cycle_duration_seconds_bucket{target="site-a",le="0.005"})"), 1);
    EXPECT_EQ(Value(hung, R"(quorvane_cycle_duration_seconds_bucket{target="site-a",le="0.0025"})"), 0);
    EXPECT_EQ(Value(hung, R"(quorvane_build_info{target="site-a",version=")" QUORVANE_VERSION R"("})"), 1);
    EXPECT_EQ(metrics.State().failedReattaches, 1);
    EXPECT_EQ(metrics.State().lastReattachError, "refused");

    // The call ends good: the outage is over; a new run starts its timeline afresh under the same counters.
    metrics.RowMeasured({Now(), 1500, ""});
    const std::string recovered = Scrape(metrics);
    EXPECT_EQ(Value(recovered, R"(quorvane_up{target="site-a"})"), 1);
    EXPECT_EQ(Value(recovered, R"(quorvane_outage_start_timestamp_seconds{target="site-a"})"), 0);
    const double outageSeconds = Value(recovered, R"(quorvane_outage_seconds_total{target="site-a"})");
    EXPECT_NEAR(outageSeconds, 1.5, 0.3);
    metrics.Stopped(Now());
    EXPECT_EQ(Value(Scrape(metrics), R"(quorvane_up{target="site-a"})"), 0);
    metrics.Attached(Now());
    metrics.RowMeasured({Now(), 0, "Form1.qry1:\r\nlost"});
    const std::string second = Scrape(metrics);
    EXPECT_EQ(Value(second, R"(quorvane_up{target="site-a"})"), 0);
    EXPECT_EQ(Value(second, R"(quorvane_outages_total{target="site-a"})"), 2);
    EXPECT_GE(Value(second, R"(quorvane_outage_seconds_total{target="site-a"})"), outageSeconds);
    EXPECT_EQ(Value(second, R"(quorvane_cycles_total{target="site-a",outcome="failed"})"), 1);
}
