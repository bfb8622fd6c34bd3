#include "db/idle_timer.h"

#include <QTimer>

#include <exception>

TFbIdleTimer::TFbIdleTimer(std::function<bool()> inUse, std::function<void()> onIdle)
    : m_inUse(std::move(inUse)), m_onIdle(std::move(onIdle)) {}

TFbIdleTimer::~TFbIdleTimer() = default;

void TFbIdleTimer::SetInterval(uint32_t milliseconds) {
    m_interval = milliseconds;
    if (milliseconds == 0) {
        m_timer.reset();
        return;
    }
    if (!m_timer) {
        m_timer = std::make_unique<QTimer>();
        QObject::connect(m_timer.get(), &QTimer::timeout, [this] { Tick(); });
    }
    m_timer->start(static_cast<int>(std::min<uint32_t>(milliseconds, INT32_MAX)));
}

void TFbIdleTimer::MarkUsed() {
    m_idle = false;
    if (m_timer)
        m_timer->start();
}

void TFbIdleTimer::Tick() {
    if (!m_inUse())
        return;
    if (!m_idle) {
        m_idle = true;
        return;
    }
    m_idle = false;
    // A tick has no caller to report to, and an error must not cross the event loop; the owner is left as the
    // failed ending left it.
    try {
        m_onIdle();
    } catch (const std::exception&) {
    }
}
