#include "core/platform.h"

#include <gtest/gtest.h>
#include <thread>

TEST(Platform, MillisecondCounterDifferencesSurviveTheWrap) {
    const uint32_t before = 0xFFFFFFF0u;
    const uint32_t after = 0x00000010u;
    EXPECT_EQ(static_cast<int32_t>(after - before), 32);

    const uint32_t t0 = timeGetTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto elapsed = static_cast<int32_t>(timeGetTime() - t0);
    EXPECT_GE(elapsed, 20);
    EXPECT_LT(elapsed, 2000);
}

TEST(Platform, TimerResolutionCallsBalance) {
    const int before = TimerResolutionRequests();
    timeBeginPeriod(1);
    EXPECT_EQ(TimerResolutionRequests(), before + 1);
    timeEndPeriod(1);
    EXPECT_EQ(TimerResolutionRequests(), before);
}

TEST(Platform, ExecutableDirectoryHoldsTheRunningProgram) {
    const std::string dir = ExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(ExecutablePath().rfind(dir, 0), 0u);
    EXPECT_NE(ExecutablePath().find("core_tests"), std::string::npos);
}
