#include "app/day_watch.h"

#include <algorithm>

namespace {
// The longest a clock set across midnight goes unnoticed.
constexpr qint64 LongestWaitMs = 60000;
} // namespace

TDayWatch::TDayWatch(std::function<void()> onNewDay, TClock clock)
    : m_onNewDay(std::move(onNewDay)), m_clock(std::move(clock)) {
    // A coarse timer may fire some percent early or late, which at midnight is minutes.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Check(); });
}

void TDayWatch::Start() {
    const QDateTime now = m_clock();
    m_day = now.date();
    Arm(now);
}

void TDayWatch::Check() {
    const QDateTime now = m_clock();
    const bool newDay = now.date() != m_day;
    m_day = now.date();
    Arm(now);
    if (newDay)
        m_onNewDay();
}

// startOfDay: the first moment of the next day, also where a daylight-saving change skips midnight.
void TDayWatch::Arm(const QDateTime& now) {
    const qint64 toMidnight = now.msecsTo(now.date().addDays(1).startOfDay());
    m_timer.start(static_cast<int>(std::clamp<qint64>(toMidnight, 1, LongestWaitMs)));
}
