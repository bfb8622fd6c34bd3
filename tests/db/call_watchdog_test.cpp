#include "db/call_watchdog.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(CallWatchdog, AbortsACallThatOutlivesItsLimitOnceAndReportsIt) {
    std::atomic<int> aborts{0};
    std::atomic<Clock::time_point::rep> abortedAt{0};
    std::atomic<isc_db_handle> abortedAttachment{0};
    TFbCallWatchdog watchdog(100, [&](isc_db_handle attachment) {
        ++aborts;
        abortedAttachment = attachment;
        abortedAt = Clock::now().time_since_epoch().count();
    });
    const Clock::time_point armedAt = Clock::now();
    watchdog.Arm(7);
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(aborts, 1) << "one abort per call, however long it hangs";
    EXPECT_EQ(abortedAttachment, 7u);
    const auto after = Clock::time_point(Clock::duration(abortedAt.load())) - armedAt;
    EXPECT_GE(after, 100ms);
    EXPECT_LT(after, 300ms);
    EXPECT_TRUE(watchdog.Disarm());

    // The next call starts with a clean slate.
    watchdog.Arm(7);
    EXPECT_FALSE(watchdog.Disarm());
    EXPECT_EQ(aborts, 1);
}

TEST(CallWatchdog, NeverAbortsCallsThatFinishInTime) {
    std::atomic<int> aborts{0};
    TFbCallWatchdog watchdog(50, [&](isc_db_handle) { ++aborts; });
    int reportedAborted = 0;
    // Many short calls spread over several limits, with idle gaps longer than the limit between bursts.
    for (int burst = 0; burst < 4; ++burst) {
        for (int call = 0; call < 2500; ++call) {
            watchdog.Arm(7);
            if (call % 500 == 0)
                std::this_thread::sleep_for(10ms);
            reportedAborted += watchdog.Disarm();
        }
        std::this_thread::sleep_for(80ms);
    }
    EXPECT_EQ(aborts, 0);
    EXPECT_EQ(reportedAborted, 0);
}

TEST(CallWatchdog, ALaterArmMovesTheDeadline) {
    std::atomic<int> aborts{0};
    TFbCallWatchdog watchdog(150, [&](isc_db_handle) { ++aborts; });
    watchdog.Arm(7);
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(watchdog.Disarm());
    watchdog.Arm(7); // deadline now 150 ms from here, past the first one
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(aborts, 0) << "the first call's deadline must not abort the second call";
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(aborts, 1);
    EXPECT_TRUE(watchdog.Disarm());
}

} // namespace
