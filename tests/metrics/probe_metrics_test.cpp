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

// A call that has waited longer than a period is an outage now, although no row says so: up falls, the
// outage's seconds, start and cause are there at the scrape, all read from the run's ledger. Every series
// carries the target; the timestamps are this machine's Unix time, whatever the server's clock reads.
TEST(ProbeMetrics, AScrapeDuringAHungCallSeesTheOutageAndItsCauseAndTheCountersGoOnAcrossRuns) {
    const auto ledger = std::make_shared<TOutageLedger>();
    TProbeMetrics metrics("site-a", ledger);
    // What the run does with a row: its sinks hear of it, and its ledger decides about outages.
    const auto row = [&](int32_t value, std::optional<TFailure> failure) {
        const TLogRow measured{.Time = ServerNow(),
                               .Value = value,
                               .Error = failure ? "Form1.qry1:\r\n" + failure->reason : std::string(),
                               .Cause = failure ? std::optional(failure->cause) : std::nullopt};
        metrics.RowMeasured(measured);
        ledger->Row(measured.Time, failure);
    };
    const TFailure network{TFailureCause::Network, "Error reading data from the connection."};
    ledger->Started(ServerNow(), 1000);
    metrics.Started(ServerNow(), true);
    const double goodEnd = UnixNow();
    row(4, std::nullopt);
    ledger->CallBegun();
    const double callBegun = UnixNow();
    metrics.ReattachFailed(ServerNow(), network);
    EXPECT_EQ(Value(Scrape(metrics), R"(quorvane_up{target="site-a"})"), 1);

    std::string hung;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Value(hung = Scrape(metrics), R"(quorvane_up{target="site-a"})") == 0; }, 5000));
    const double hungAt = UnixNow();
    EXPECT_GE(hungAt - callBegun, 0.95) << "not before the call has waited a whole period";
    EXPECT_EQ(Value(hung, R"(quorvane_cycles_total{target="site-a",outcome="ok"})"), 1);
    EXPECT_EQ(Value(hung, R"(quorvane_outages_total{target="site-a",cause="no_answer"})"), 1);
    EXPECT_EQ(Value(hung, R"(quorvane_outage_info{target="site-a",cause="no_answer"})"), 1);
    EXPECT_EQ(Value(hung, R"(quorvane_outage_info{target="site-a",cause="network"})"), 0);
    EXPECT_NEAR(Value(hung, R"(quorvane_outage_seconds_total{target="site-a"})"), hungAt - goodEnd, 0.05);
    EXPECT_NEAR(Value(hung, R"(quorvane_outage_start_timestamp_seconds{target="site-a"})"), goodEnd, 0.05);
    EXPECT_NEAR(Value(hung, R"(quorvane_last_success_timestamp_seconds{target="site-a"})"), goodEnd, 0.05);
    EXPECT_NEAR(Value(hung, R"(quorvane_server_clock_offset_seconds{target="site-a"})"), 3600, 0.05);
    EXPECT_EQ(Value(hung, R"(quorvane_reattach_attempts_total{target="site-a",outcome="failed"})"), 1);
    EXPECT_EQ(Value(hung, R"(quorvane_cycle_duration_seconds_bucket{target="site-a",le="0.005"})"), 1);
    EXPECT_EQ(Value(hung, R"(quorvane_cycle_duration_seconds_bucket{target="site-a",le="0.0025"})"), 0);
    EXPECT_EQ(Value(hung, R"(quorvane_build_info{target="site-a",version=")" QUORVANE_VERSION R"("})"), 1);

    // The call breaks: the outage goes on under the row's cause, counted once; then a good cycle ends it.
    ledger->CallEnded();
    row(1500, network);
    const std::string lost = Scrape(metrics);
    EXPECT_EQ(Value(lost, R"(quorvane_outages_total{target="site-a",cause="no_answer"})"), 1);
    EXPECT_EQ(Value(lost, R"(quorvane_outages_total{target="site-a",cause="network"})"), 0);
    EXPECT_EQ(Value(lost, R"(quorvane_outage_info{target="site-a",cause="network"})"), 1);
    EXPECT_EQ(Value(lost, R"(quorvane_failed_cycles_total{target="site-a",cause="network"})"), 1);
    row(3, std::nullopt);
    const double recoveredAt = UnixNow();
    const std::string recovered = Scrape(metrics);
    EXPECT_EQ(Value(recovered, R"(quorvane_up{target="site-a"})"), 1);
    EXPECT_EQ(Value(recovered, R"(quorvane_outage_start_timestamp_seconds{target="site-a"})"), 0);
    EXPECT_EQ(Value(recovered, R"(quorvane_outage_info{target="site-a",cause="network"})"), 0);
    const double outageSeconds = Value(recovered, R"(quorvane_outage_seconds_total{target="site-a"})");
    EXPECT_NEAR(outageSeconds, recoveredAt - goodEnd, 0.05);
    ledger->Stopped(ServerNow());
    metrics.Stopped(ServerNow());
    EXPECT_EQ(Value(Scrape(metrics), R"(quorvane_up{target="site-a"})"), 0);

    // A new run starts its timeline afresh under the same counters.
    ledger->Started(ServerNow(), 1000);
    metrics.Started(ServerNow(), true);
    row(0, TFailure{TFailureCause::Shutdown, "Connection shutdown."});
    const std::string second = Scrape(metrics);
    EXPECT_EQ(Value(second, R"(quorvane_up{target="site-a"})"), 0);
    EXPECT_EQ(Value(second, R"(quorvane_outages_total{target="site-a",cause="shutdown"})"), 1);
    EXPECT_GE(Value(second, R"(quorvane_outage_seconds_total{target="site-a"})"), outageSeconds);
    EXPECT_EQ(Value(second, R"(quorvane_cycles_total{target="site-a",outcome="failed"})"), 2);
}
