#include "app/service_notifier.h"

#include <algorithm>
#include <cstdint>
#include <systemd/sd-daemon.h>

TServiceNotifier::TServiceNotifier() {
    uint64_t intervalUs = 0;
    if (sd_watchdog_enabled(0, &intervalUs) <= 0 || intervalUs == 0)
        return;
    // Twice per interval, as systemd advises, so that one late ping is not yet a failure.
    QObject::connect(&m_watchdog, &QTimer::timeout, [] { Send("WATCHDOG=1"); });
    m_watchdog.start(static_cast<int>(std::clamp<uint64_t>(intervalUs / 2000, 1, INT32_MAX)));
}

void TServiceNotifier::Ready(const std::string& status) { Send("READY=1\n" + StatusLine(status)); }

void TServiceNotifier::Status(const std::string& status) { Send(StatusLine(status)); }

void TServiceNotifier::Stopping(const std::string& status) { Send("STOPPING=1\n" + StatusLine(status)); }

// A line break would end the assignment, so the lines of an error message are joined.
std::string TServiceNotifier::StatusLine(const std::string& status) {
    std::string line = "STATUS=";
    for (const char c : status)
        if (c == '\n')
            line += ' ';
        else if (c != '\r')
            line += c;
    return line.substr(0, line.find_last_not_of(' ') + 1);
}

void TServiceNotifier::Send(const std::string& assignments) { sd_notify(0, assignments.c_str()); }
