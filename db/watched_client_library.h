#pragma once

#include "db/call_watchdog.h"
#include "db/client_library.h"

#include <functional>
#include <utility>

// The binding as one connection sees it while its calls have a time limit: every call that waits for the
// server on an attachment runs with the watchdog armed; the others pass straight through. Needs a library
// with fb_cancel_operation, which is how the watchdog breaks a hung call.
class TFbWatchedClientLibrary : public IFbClientLibrary {
public:
    // attachment: the connection's current handle, read on the calling thread when a call starts.
    // The binding stays registered until the program ends, so a reference to it stays valid.
    TFbWatchedClientLibrary(IFbClientLibrary& library, uint32_t timeoutMs,
                            std::function<isc_db_handle()> attachment);

    IFbClientLibrary& Library() const { return m_library; }
    uint32_t TimeoutMs() const { return m_watchdog.TimeoutMs(); }
    // How the last watched call ended, once: read again before the next call ends, it tells of no cancel.
    TFbCallEnd TakeLastCallEnd();
    // Whether a watched call was cut short by a hurry since the last reading (the calls that handle its
    // failure come after it, so the last call alone does not tell).
    bool TakeCallCutShort() { return std::exchange(m_callCutShort, false); }
    // Calls in progress and to come are cancelled soon; from any thread.
    void Hurry(bool hurry) { m_watchdog.Hurry(hurry); }

    const std::string& LibraryName() const override { return m_library.LibraryName(); }
    int32_t ClientMajorVersion() const override { return m_library.ClientMajorVersion(); }
    int32_t ClientMinorVersion() const override { return m_library.ClientMinorVersion(); }
    void Unload() override { m_library.Unload(); }
    bool HasCancelOperation() const override { return m_library.HasCancelOperation(); }

#define QV_DECLARE_WATCHED_FUNCTION(result, name, parameters, arguments) result name parameters override;
    QV_CLIENT_FUNCTIONS(QV_DECLARE_WATCHED_FUNCTION)
    QV_OPTIONAL_CLIENT_FUNCTIONS(QV_DECLARE_WATCHED_FUNCTION)
#undef QV_DECLARE_WATCHED_FUNCTION

private:
    template <typename Call> auto Watched(Call call);

    IFbClientLibrary& m_library;
    std::function<isc_db_handle()> m_attachment;
    TFbCallEnd m_lastCallEnd;
    bool m_lastCallEndTaken = false;
    bool m_callCutShort = false;
    TFbCallWatchdog m_watchdog;
};
