#include "core/date_time.h"
#include "core/exceptions.h"

#include <gtest/gtest.h>
#include <limits>

TEST(DateTime, DayZeroIsThe30thOfDecember1899AndKnownDatesEncode) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2000, 2, 29), 36585.0);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 9)), 4); // a Wednesday
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
}

TEST(DateTime, EveryMillisecondOfADayRoundTrips) {
    const TDateTime day = EncodeDate(2026, 3, 1);
    for (int ms = 0; ms < MSecsPerDay; ms += 997) {
        const TTimeParts t{ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000};
        const TDateTime value = EncodeDateTime({2026, 3, 1}, t);
        const TTimeParts back = DecodeTime(value);
        ASSERT_EQ(back.hour * 3600000 + back.minute * 60000 + back.second * 1000 + back.msec, ms);
        const TDateParts date = DecodeDate(value);
        ASSERT_EQ(date.year * 10000 + date.month * 100 + date.day, 20260301);
    }
    const TTimeParts last = DecodeTime(day + EncodeTime(23, 59, 59, 999));
    EXPECT_EQ(last.hour * 10000000 + last.minute * 100000 + last.second * 1000 + last.msec, 235959999);
}

TEST(DateTime, HalfAMillisecondBeforeMidnightRoundsIntoTheNextDay) {
    const TDateTime almost = EncodeDate(2026, 12, 31) + (MSecsPerDay - 0.4) / MSecsPerDay;
    const TDateParts date = DecodeDate(almost);
    const TTimeParts time = DecodeTime(almost);
    EXPECT_EQ(date.year, 2027);
    EXPECT_EQ(date.month, 1);
    EXPECT_EQ(date.day, 1);
    EXPECT_EQ(time.hour + time.minute + time.second + time.msec, 0);

    const TDateTime justBefore = EncodeDate(2026, 12, 31) + (MSecsPerDay - 0.6) / MSecsPerDay;
    EXPECT_EQ(DecodeDate(justBefore).day, 31);
    EXPECT_EQ(DecodeTime(justBefore).msec, 999);
}

TEST(DateTime, DatesBeforeDayZeroKeepTheirTimeOfDay) {
    const TDateTime value = EncodeDateTime({1899, 12, 29}, {6, 0, 0, 1});
    EXPECT_LT(value, -1.0);
    const TDateParts date = DecodeDate(value);
    const TTimeParts time = DecodeTime(value);
    EXPECT_EQ(date.day, 29);
    EXPECT_EQ(time.hour, 6);
    EXPECT_EQ(time.msec, 1);
}

TEST(DateTime, NowIsTheLocalClockToTheMillisecond) {
    const TDateTime before = Now();
    const TDateTime after = Now();
    EXPECT_GE(after, before);
    EXPECT_LT((after - before) * MSecsPerDay, 1000.0);
    EXPECT_GT(before, EncodeDate(2020, 1, 1));
}

TEST(DateTime, RoundingAndTheCalendarsRangeAgreeAtBothEnds) {
    const TDateTime lastDay = EncodeDate(9999, 12, 31);
    const auto lastMs = DateTimeToMSecs(lastDay + (MSecsPerDay - 1.0) / MSecsPerDay);
    ASSERT_TRUE(lastMs);
    EXPECT_EQ(*lastMs, 2958466LL * MSecsPerDay - 1);
    // 23:59:59.9996 rounds to midnight of a year the calendar does not have.
    EXPECT_FALSE(DateTimeToMSecs(lastDay + (MSecsPerDay - 0.4) / MSecsPerDay));
    EXPECT_TRUE(DateTimeToMSecs(lastDay + (MSecsPerDay - 0.6) / MSecsPerDay));

    // Before 1899 the time of day counts away from zero, so noon of the first day lies below its midnight.
    const TDateTime firstDay = EncodeDate(1, 1, 1);
    const TDateTime firstNoon = EncodeDateTime({1, 1, 1}, {12, 0, 0, 0});
    EXPECT_LT(firstNoon, firstDay);
    const auto noonMs = DateTimeToMSecs(firstNoon);
    ASSERT_TRUE(noonMs);
    EXPECT_EQ(*noonMs, -693593LL * MSecsPerDay - MSecsPerDay / 2);
    EXPECT_TRUE(DateTimeToMSecs(EncodeDateTime({1, 1, 1}, {23, 59, 59, 999})));
    EXPECT_EQ(DateTimeToMSecs(firstDay), -693593LL * MSecsPerDay);
    EXPECT_FALSE(DateTimeToMSecs(firstDay - 1.0)); // the day before has no date
    EXPECT_FALSE(DateTimeToMSecs(firstDay - (MSecsPerDay - 0.4) / MSecsPerDay));

    for (const double absurd : {1e300, -1e300, std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity()})
        EXPECT_FALSE(DateTimeToMSecs(absurd)) << absurd;
}
