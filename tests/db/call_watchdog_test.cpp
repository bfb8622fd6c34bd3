// The watchdog by a clock the test moves: "the limit has passed" is a step of the clock, and every cancel
// is recorded with the clock's time, so the deadlines are checked to the millisecond.
#include "db/call_watchdog.h"

#include "tests/support/manual_clock.h"

#include <chrono>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

class CallWatchdog : public testing::Test {
protected:
    struct Cancel {
        isc_db_handle attachment;
        TFbCallCancel step;
        std::chrono::milliseconds at; // since the test began
    };

    std::unique_ptr<TFbCallWatchdog> Watchdog(uint32_t timeoutMs) {
        auto watchdog = std::make_unique<TFbCallWatchdog>(
            timeoutMs,
            [this](isc_db_handle attachment, TFbCallCancel step) {
                std::lock_guard lock(m_mutex);
                m_cancels.push_back(
                    {attachment, step, std::chrono::duration_cast<std::chrono::milliseconds>(clock.Now() - m_begin)});
            },
            clock);
        m_watchdog = watchdog.get();
        return watchdog;
    }
    // Every cancel begun so far, once its call (on a thread of its own) has been made.
    std::vector<Cancel> Cancels() {
        for (int waited = 0; waited < 5000; ++waited) {
            {
                std::lock_guard lock(m_mutex);
                if (m_cancels.size() >= m_watchdog->CancelsMade())
                    return m_cancels;
            }
            std::this_thread::sleep_for(1ms);
        }
        ADD_FAILURE() << "a cancel was begun but never made";
        return {};
    }
    void Step(std::chrono::milliseconds step) { ASSERT_TRUE(clock.Step(step)) << "the watchdog does not sleep"; }

    TManualClock clock;

private:
    TFbCallWatchdog* m_watchdog = nullptr;
    std::mutex m_mutex;
    std::vector<Cancel> m_cancels;
    const TSteadyClock::time_point m_begin = clock.Now();
};

TEST_F(CallWatchdog, AsksTheServerAtTheLimitAbortsAGraceLaterAndNeverAgain) {
    const auto watchdog = Watchdog(100);
    watchdog->Arm(7);
    Step(99ms);
    EXPECT_TRUE(Cancels().empty());
    Step(1ms);
    ASSERT_EQ(Cancels().size(), 1u);
    EXPECT_EQ(Cancels()[0].step, TFbCallCancel::Raised);
    EXPECT_EQ(Cancels()[0].attachment, 7u);
    EXPECT_EQ(Cancels()[0].at, 100ms);

    Step(TFbCallWatchdog::kGrace - 1ms);
    EXPECT_EQ(Cancels().size(), 1u) << "only the request to cancel within the grace";
    Step(1ms);
    // The abort's own thread notes the clock: it is made before the clock moves on.
    EXPECT_EQ(Cancels().size(), 2u);
    Step(1h);
    const std::vector<Cancel> cancels = Cancels();
    ASSERT_EQ(cancels.size(), 2u) << "one abort per call, however long it hangs";
    EXPECT_EQ(cancels[1].step, TFbCallCancel::Aborted);
    EXPECT_EQ(cancels[1].at, 100ms + TFbCallWatchdog::kGrace);
    const TFbCallEnd end = watchdog->Disarm();
    EXPECT_EQ(end.cancel, TFbCallCancel::Aborted);
    EXPECT_EQ(end.waited, 100ms + TFbCallWatchdog::kGrace + 1h);
    EXPECT_FALSE(end.cutShort) << "it had reached its limit";

    // A call that ends within the grace was only asked; the next call starts with a clean slate.
    watchdog->Arm(8);
    Step(100ms);
    EXPECT_EQ(watchdog->Disarm().cancel, TFbCallCancel::Raised);
    Step(TFbCallWatchdog::kGrace + 1h);
    EXPECT_EQ(Cancels().size(), 3u) << "a disarmed call is not aborted";
    watchdog->Arm(8);
    EXPECT_EQ(watchdog->Disarm().cancel, TFbCallCancel::None);
}

// Each call has its own limit from its Arm: neither a short call's nor an earlier call's deadline cancels it.
TEST_F(CallWatchdog, CancelsACallOnlyAtItsOwnLimit) {
    const auto watchdog = Watchdog(150);
    for (int call = 0; call < 50; ++call) {
        watchdog->Arm(7);
        Step(call % 2 == 0 ? 149ms : 1ms);
        EXPECT_EQ(watchdog->Disarm().cancel, TFbCallCancel::None) << "call " << call;
        Step(1s); // idle, longer than the limit
    }
    watchdog->Arm(7);
    Step(100ms);
    EXPECT_EQ(watchdog->Disarm().cancel, TFbCallCancel::None);
    watchdog->Arm(7); // its limit lies past the first call's
    Step(100ms);
    EXPECT_TRUE(Cancels().empty()) << "the first call's deadline must not cancel the second call";
    Step(50ms);
    ASSERT_EQ(Cancels().size(), 1u);
    EXPECT_EQ(watchdog->Disarm().cancel, TFbCallCancel::Raised);
}

TEST_F(CallWatchdog, AHurryCutsTheBlockedCallShortAndEveryCallWhileItLasts) {
    const auto watchdog = Watchdog(30000);
    watchdog->Arm(7);
    Step(50ms);
    watchdog->Hurry(true);
    Step(TFbCallWatchdog::kHurryRaise - 1ms);
    EXPECT_TRUE(Cancels().empty());
    Step(1ms);
    EXPECT_EQ(Cancels().size(), 1u); // made before the clock moves on, as above
    Step(TFbCallWatchdog::kHurryAbort);
    std::vector<Cancel> cancels = Cancels();
    ASSERT_EQ(cancels.size(), 2u);
    EXPECT_EQ(cancels[0].step, TFbCallCancel::Raised);
    EXPECT_EQ(cancels[0].at, 50ms + TFbCallWatchdog::kHurryRaise);
    EXPECT_EQ(cancels[1].step, TFbCallCancel::Aborted);
    EXPECT_EQ(cancels[1].at, 50ms + TFbCallWatchdog::kHurryRaise + TFbCallWatchdog::kHurryAbort);
    EXPECT_LE(cancels[1].at, 2100ms) << "free within about two seconds";
    TFbCallEnd end = watchdog->Disarm();
    EXPECT_EQ(end.cancel, TFbCallCancel::Aborted);
    EXPECT_TRUE(end.cutShort) << "cancelled before its limit";

    // Calls made while it lasts get the short limit too; a call that ends in time is left alone.
    watchdog->Arm(7);
    EXPECT_EQ(watchdog->Disarm().cancel, TFbCallCancel::None);
    watchdog->Arm(7);
    Step(TFbCallWatchdog::kHurryRaise);
    cancels = Cancels();
    ASSERT_EQ(cancels.size(), 3u);
    EXPECT_EQ(cancels[2].step, TFbCallCancel::Raised);
    end = watchdog->Disarm();
    EXPECT_EQ(end.cancel, TFbCallCancel::Raised);
    EXPECT_TRUE(end.cutShort);

    // Once over, calls have their normal limit again.
    watchdog->Hurry(false);
    watchdog->Arm(7);
    Step(29999ms);
    EXPECT_EQ(watchdog->Disarm().cancel, TFbCallCancel::None);
    EXPECT_EQ(Cancels().size(), 3u);
}

// The client library may hold a request to cancel as long as the call it cancels (a send into a slow link),
// until an abort closes the link under both: meanwhile a Stop's hurry answers at once, the abort is sent on
// time, and a Disarm waits for the cancels on their way, so that none reaches the next call.
TEST(CallWatchdogCancel, NoCancelHoldsUpAHurryTheAbortOrTheNextCall) {
    TManualClock clock;
    std::mutex mutex;
    std::condition_variable changed;
    int raisesEntered = 0;
    bool linkClosed = false;
    bool abortedWhileRaiseHeld = false;
    TFbCallWatchdog watchdog(
        100,
        [&](isc_db_handle, TFbCallCancel step) {
            std::unique_lock lock(mutex);
            if (step == TFbCallCancel::Raised) {
                ++raisesEntered;
                changed.notify_all();
                changed.wait(lock, [&] { return linkClosed; });
            } else {
                abortedWhileRaiseHeld = raisesEntered > 0;
                linkClosed = true;
                changed.notify_all();
            }
        },
        clock);
    const auto raiseHeld = [&] {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 5s, [&] { return raisesEntered == 1; });
    };
    watchdog.Arm(7);
    clock.Advance(100ms);
    ASSERT_TRUE(raiseHeld()) << "the call was not cancelled at its limit";

    auto hurried = std::async(std::launch::async, [&] { watchdog.Hurry(true); });
    const bool hurriedAtOnce = hurried.wait_for(2s) == std::future_status::ready;
    if (!hurriedAtOnce) { // let the held cancel go, so that the test ends
        std::lock_guard lock(mutex);
        linkClosed = true;
        changed.notify_all();
    }
    hurried.wait();
    ASSERT_TRUE(hurriedAtOnce) << "Hurry waited for the client library";
    ASSERT_TRUE(clock.Step(TFbCallWatchdog::kHurryAbort)) << "the watchdog waits inside the held cancel";
    auto disarmed = std::async(std::launch::async, [&] { return watchdog.Disarm(); });
    ASSERT_EQ(disarmed.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(abortedWhileRaiseHeld) << "no abort while the request to cancel was held";
    EXPECT_EQ(disarmed.get().cancel, TFbCallCancel::Aborted);

    // A call that returns while its cancel is still held: Disarm waits for that cancel.
    {
        std::lock_guard lock(mutex);
        raisesEntered = 0;
        linkClosed = false;
    }
    watchdog.Arm(8);
    clock.Advance(TFbCallWatchdog::kHurryRaise);
    ASSERT_TRUE(raiseHeld());
    disarmed = std::async(std::launch::async, [&] { return watchdog.Disarm(); });
    EXPECT_EQ(disarmed.wait_for(200ms), std::future_status::timeout) << "Disarm left a cancel on its way";
    {
        std::lock_guard lock(mutex);
        linkClosed = true;
        changed.notify_all();
    }
    EXPECT_EQ(disarmed.get().cancel, TFbCallCancel::Raised);
    ASSERT_TRUE(clock.Step(1h));
    EXPECT_EQ(watchdog.CancelsMade(), 3u) << "a returned call is never aborted";
}

} // namespace
