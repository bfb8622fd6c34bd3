#pragma once

#include <QDate>
#include <QDateTime>
#include <QTimer>
#include <functional>

// Tells when the local date changes: at local midnight, and within a minute when the clock is set across a
// midnight (a timer counts elapsed time, not the wall clock's, so it looks again at least once a minute).
// The clock is a seam: the tests give one that stands just before midnight.
class TDayWatch {
public:
    using TClock = std::function<QDateTime()>;

    explicit TDayWatch(std::function<void()> onNewDay, TClock clock = [] { return QDateTime::currentDateTime(); });
    TDayWatch(const TDayWatch&) = delete;
    TDayWatch& operator=(const TDayWatch&) = delete;

    // Takes today as the current day and begins to watch.
    void Start();
    // Reads the clock: a date other than the last one seen is a new day. The timer calls it.
    void Check();
    // Milliseconds until the clock is read again.
    int NextCheckMs() const { return m_timer.interval(); }

private:
    void Arm(const QDateTime& now);

    std::function<void()> m_onNewDay;
    TClock m_clock;
    QDate m_day;
    QTimer m_timer;
};
