#include "db/call_watchdog.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Every cancel the watchdog makes, with its time since the recorder was made.
class CancelRecorder {
public:
    struct Cancel {
        isc_db_handle attachment;
        TFbCallCancel step;
        Clock::duration after;
    };

    std::function<void(isc_db_handle, TFbCallCancel)> Callback() {
        return [this](isc_db_handle attachment, TFbCallCancel step) {
            std::lock_guard lock(m_mutex);
            m_cancels.push_back({attachment, step, Clock::now() - m_start});
        };
    }
    std::vector<Cancel> Cancels() {
        std::lock_guard lock(m_mutex);
        return m_cancels;
    }
    void Restart() { m_start = Clock::now(); }

private:
    std::mutex m_mutex;
    std::vector<Cancel> m_cancels;
    Clock::time_point m_start = Clock::now();
};

TEST(CallWatchdog, AsksTheServerFirstAndAbortsOnlyAGraceLater) {
    CancelRecorder recorder;
    TFbCallWatchdog watchdog(100, recorder.Callback());
    recorder.Restart();
    watchdog.Arm(7);
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(recorder.Cancels().size(), 1u) << "only the request to cancel within the grace";
    EXPECT_EQ(recorder.Cancels()[0].step, TFbCallCancel::Raised);
    EXPECT_EQ(recorder.Cancels()[0].attachment, 7u);
    EXPECT_GE(recorder.Cancels()[0].after, 100ms);
    EXPECT_LT(recorder.Cancels()[0].after, 250ms);

    std::this_thread::sleep_for(TFbCallWatchdog::kGrace);
    const std::vector<CancelRecorder::Cancel> cancels = recorder.Cancels();
    ASSERT_EQ(cancels.size(), 2u) << "one abort per call, however long it hangs";
    EXPECT_EQ(cancels[1].step, TFbCallCancel::Aborted);
    EXPECT_GE(cancels[1].after - cancels[0].after, TFbCallWatchdog::kGrace);
    EXPECT_LT(cancels[1].after - cancels[0].after, TFbCallWatchdog::kGrace + 150ms);
    EXPECT_EQ(watchdog.Disarm().cancel, TFbCallCancel::Aborted);

    // The next call starts with a clean slate.
    watchdog.Arm(7);
    EXPECT_EQ(watchdog.Disarm().cancel, TFbCallCancel::None);
    EXPECT_EQ(recorder.Cancels().size(), 2u);
}

TEST(CallWatchdog, ACallThatEndsWithinTheGraceIsOnlyAskedToCancel) {
    CancelRecorder recorder;
    TFbCallWatchdog watchdog(50, recorder.Callback());
    watchdog.Arm(7);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(watchdog.Disarm().cancel, TFbCallCancel::Raised);
    std::this_thread::sleep_for(TFbCallWatchdog::kGrace + 100ms);
    EXPECT_EQ(recorder.Cancels().size(), 1u) << "a disarmed call is not aborted";
}

TEST(CallWatchdog, NeverCancelsCallsThatFinishInTime) {
    std::atomic<int> cancels{0};
    TFbCallWatchdog watchdog(50, [&](isc_db_handle, TFbCallCancel) { ++cancels; });
    int reportedCancelled = 0;
    // Many short calls spread over several limits, with idle gaps longer than the limit between bursts.
    for (int burst = 0; burst < 4; ++burst) {
        for (int call = 0; call < 2500; ++call) {
            watchdog.Arm(7);
            if (call % 500 == 0)
                std::this_thread::sleep_for(10ms);
            reportedCancelled += watchdog.Disarm().cancel != TFbCallCancel::None;
        }
        std::this_thread::sleep_for(80ms);
    }
    EXPECT_EQ(cancels, 0);
    EXPECT_EQ(reportedCancelled, 0);
}

TEST(CallWatchdog, ALaterArmMovesTheDeadline) {
    std::atomic<int> cancels{0};
    TFbCallWatchdog watchdog(150, [&](isc_db_handle, TFbCallCancel) { ++cancels; });
    watchdog.Arm(7);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(watchdog.Disarm().cancel, TFbCallCancel::None);
    watchdog.Arm(7); // deadline now 150 ms from here, past the first one
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(cancels, 0) << "the first call's deadline must not cancel the second call";
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(watchdog.Disarm().cancel, TFbCallCancel::Raised);
}

TEST(CallWatchdog, AHurryCancelsTheBlockedCallAtOnceAndAbortsItWithinTwoSeconds) {
    CancelRecorder recorder;
    TFbCallWatchdog watchdog(30000, recorder.Callback());
    watchdog.Arm(7);
    std::this_thread::sleep_for(50ms);
    recorder.Restart();
    watchdog.Hurry(true);
    std::this_thread::sleep_for(2200ms);
    std::vector<CancelRecorder::Cancel> cancels = recorder.Cancels();
    ASSERT_EQ(cancels.size(), 2u);
    EXPECT_EQ(cancels[0].step, TFbCallCancel::Raised);
    EXPECT_LT(cancels[0].after, TFbCallWatchdog::kHurryRaise + 150ms);
    EXPECT_EQ(cancels[1].step, TFbCallCancel::Aborted);
    EXPECT_LT(cancels[1].after, 2100ms);
    EXPECT_EQ(watchdog.Disarm().cancel, TFbCallCancel::Aborted);

    // Calls made while it lasts get the short limit too; a call that ends in time is left alone.
    watchdog.Arm(7);
    EXPECT_EQ(watchdog.Disarm().cancel, TFbCallCancel::None);
    recorder.Restart();
    watchdog.Arm(7);
    std::this_thread::sleep_for(500ms);
    cancels = recorder.Cancels();
    ASSERT_EQ(cancels.size(), 3u);
    EXPECT_EQ(cancels[2].step, TFbCallCancel::Raised);
    EXPECT_EQ(watchdog.Disarm().cancel, TFbCallCancel::Raised);

    // Once over, calls have their normal limit again.
    watchdog.Hurry(false);
    watchdog.Arm(7);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(watchdog.Disarm().cancel, TFbCallCancel::None);
    EXPECT_EQ(recorder.Cancels().size(), 3u);
}

} // namespace
