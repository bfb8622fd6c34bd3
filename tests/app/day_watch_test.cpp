#include "app/day_watch.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

namespace {
QDateTime At(const char* text) { return QDateTime::fromString(text, Qt::ISODateWithMs); }
} // namespace

// A clock set just before midnight: the watch wakes at midnight and not before, tells one new day however
// often it looks during it, notices a clock set across midnight by hand, and never sleeps more than a minute.
TEST(DayWatch, TellsEachNewDayOnceAtMidnightAndAfterTheClockIsSet) {
    QDateTime now = At("2026-12-11T23:59:59.250");
    int newDays = 0;
    TDayWatch watch([&] { ++newDays; }, [&] { return now; });
    watch.Start();
    EXPECT_EQ(watch.NextCheckMs(), 750);

    now = At("2026-12-11T23:59:59.900"); // a timer that fired early: still the same day
    watch.Check();
    EXPECT_EQ(newDays, 0);
    EXPECT_EQ(watch.NextCheckMs(), 100);

    now = At("2026-12-12T00:00:00.002");
    watch.Check();
    watch.Check();
    EXPECT_EQ(newDays, 1);
    EXPECT_EQ(watch.NextCheckMs(), 60000);

    now = At("2026-12-12T12:00:00.000");
    watch.Check();
    EXPECT_EQ(newDays, 1);
    now = At("2026-12-14T08:30:00.000"); // the clock set forward by hand
    watch.Check();
    EXPECT_EQ(newDays, 2);

    // The timer itself: a clock that runs from 80 ms before midnight.
    QElapsedTimer elapsed;
    elapsed.start();
    const QDateTime base = At("2026-12-14T23:59:59.920");
    TDayWatch running([&] { ++newDays; }, [&] { return base.addMSecs(elapsed.elapsed()); });
    running.Start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return newDays == 3; }, 5000));
    EXPECT_GE(elapsed.elapsed(), 80);
}
