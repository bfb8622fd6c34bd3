#pragma once

#include <QTimer>
#include <string>

// Tells systemd how a run without a window fares when it runs as a notify service (Type=notify): that it is
// ready, its state in words, that it is stopping, and the watchdog's pings while WatchdogSec= is set. Outside
// systemd (no notification socket) nothing is sent and nothing waits.
class TServiceNotifier {
public:
    TServiceNotifier();
    TServiceNotifier(const TServiceNotifier&) = delete;
    TServiceNotifier& operator=(const TServiceNotifier&) = delete;

    // status: UTF-8, one line or more (shown as one).
    void Ready(const std::string& status);
    void Status(const std::string& status);
    void Stopping(const std::string& status);

private:
    static void Send(const std::string& assignments);
    static std::string StatusLine(const std::string& status);

    QTimer m_watchdog;
};
