#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class QTimer;

// The idle time-out of a connection or transaction: every use clears the idle mark; a tick finds it set (no use
// for a whole interval) and reports idleness, or sets it. So the owner hears one to two intervals after its
// last use. The timer exists only while the interval is not 0.
class TFbIdleTimer {
public:
    // inUse: whether the owner holds something that can be idle (ticks are ignored otherwise).
    TFbIdleTimer(std::function<bool()> inUse, std::function<void()> onIdle);
    ~TFbIdleTimer();

    uint32_t Interval() const { return m_interval; }
    void SetInterval(uint32_t milliseconds);
    // Clears the idle mark; a running timer starts its interval again, so idle time counts from now.
    void MarkUsed();

private:
    void Tick();

    std::function<bool()> m_inUse;
    std::function<void()> m_onIdle;
    std::unique_ptr<QTimer> m_timer;
    uint32_t m_interval = 0;
    bool m_idle = false;
};
