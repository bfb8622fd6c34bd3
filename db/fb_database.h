#pragma once

#include "db/call_watchdog.h"
#include "db/database.h"
#include "db/errors.h"

#include <ibase.h>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class QObject;
class QTimer;
class TFbAttachAttempt;
class TFbWatchedClientLibrary;

// What a connection does once it is found lost (or a restore attempt failed); the order is the one stored
// settings use.
enum TOnLostConnectActions { laTerminateApp, laCloseConnect, laIgnore, laWaitRestore };
// The connection has been found lost, or a restore attempt failed: the connection, the error, and what to do
// (arrives with a proposal).
using TFbLostConnectEvent =
    std::function<void(TFbBaseDatabase& Database, EFbError& E, TOnLostConnectActions& Actions)>;
using TFbRestoreConnectEvent = std::function<void(TFbBaseDatabase& Database)>;

// The window's connection: the base connection plus the handling of lost connections. It forgets a dead
// attachment without calling the server, tries to attach again on its restore timer, probes the server before
// a detach, and can put a time limit on its blocking client calls.
class TFbDatabase : public TFbBaseDatabase {
public:
    explicit TFbDatabase(TComponent* owner = nullptr, std::string name = {});
    ~TFbDatabase() override;

    // Runs the probe first unless skipProbe: a dead link is handed to the lost-connection handling and the
    // detach ends there without an error.
    void Detach(bool force, bool skipProbe) override;
    // The binding, seen through the call watchdog while CallTimeout is set and the library can cancel calls.
    IFbClientLibrary& ClientLibrary() override;

    // The restore timer's period in milliseconds: non-zero creates RestoreTimer (disabled) when there is
    // none, 0 destroys it; reads 0 without a timer.
    uint32_t WaitForRestoreConnect() const;
    void SetWaitForRestoreConnect(uint32_t milliseconds);
    QTimer* RestoreTimer() const { return m_restoreTimer.get(); }
    bool RestoreInProgress() const { return m_restoreInProgress; }
    // The longest a client call on the attachment may block, in milliseconds; 0 means no limit (and no
    // watchdog thread). A call that outlives it is aborted and fails as a lost connection.
    uint32_t CallTimeout() const { return m_callTimeout; }
    void SetCallTimeout(uint32_t milliseconds);
    // While set (Stop, or the end of the run) a blocked call is cancelled at once and aborted soon after, and
    // so is every call made meanwhile. The one operation that may come from any thread.
    void HurryCalls(bool hurry);

    TFbLostConnectEvent OnLostConnect;
    TFbLostConnectEvent OnErrorRestoreConnect;
    TFbRestoreConnectEvent AfterRestoreConnect;
    // Shows an error that escaped a restore attempt (and the failure answered with laTerminateApp); the
    // window gives its error box. Without one the text goes to the standard error stream.
    std::function<void(const std::string& message)> ShowErrorMessage;

    void HandleLostConnection(EFbError& error, TOnLostConnectActions& actions);
    // Local: the handle is dropped, queries forget their statements and active transactions end through
    // their lost flag, none of it reaching the server.
    void ForgetConnection();
    // The tick of RestoreTimer: one attempt to attach again. Its attach runs on a helper thread, so the
    // attempt ends later, in this thread's event loop; a tick while one is under way does nothing.
    void TryRestoreConnection();
    // How the last watched client call ended, once (see TFbWatchedClientLibrary::TakeLastCallEnd).
    TFbCallEnd TakeLastCallEnd();
    // Whether a watched call was cancelled by a hurry before it reached CallTimeout since the last reading.
    bool TakeCallCutShort();
    // Stop of a run: the restore timer stops and an attempt under way is abandoned (its late attachment is
    // detached again), as is an attach of AttachInBackground; neither calls back.
    void AbandonAttaches();
    // Connected := true with the server call on a helper thread, so that this thread goes on meanwhile (an
    // attach cannot be cancelled). The steps before the server call raise here; done runs later on this
    // thread with what the rest of the attach raised (nothing on success, and at once when already attached).
    // Nothing is called when the connection goes first.
    // Like every call, it may not wait for ever: the attach asks the client for CallTimeout as its connect
    // timeout, and an attach still unanswered CallTimeout and a grace later is abandoned with an error.
    void AttachInBackground(std::function<void(std::exception_ptr error)> done);

protected:
    std::string AttachParamBuffer(const std::string& built) const override;

private:
    void ReleaseDeadAttachment();
    bool EndRestoreAttempt(isc_db_handle handle, std::optional<EFbServerError> error,
                           TOnLostConnectActions actions);
    // PrepareAttach, then the server call on a helper thread; none when there is nothing to attach.
    std::shared_ptr<TFbAttachAttempt>
    StartHelperAttach(std::function<bool(isc_db_handle, std::optional<EFbServerError>)> done);
    void AdoptAttachment(isc_db_handle handle, std::optional<EFbServerError>& error, bool& taken);
    void RestoreAttemptFailed(EFbError& error, TOnLostConnectActions actions);
    void AbandonStartAttachAt(std::chrono::milliseconds limit, std::function<void(std::exception_ptr)> done);
    void RunShowingRestoreFailures(const std::function<void()>& step);
    void RestoreTick();
    void ShowRestoreFailure(const std::string& message);
    bool ProbeAttachment();

    std::unique_ptr<QTimer> m_restoreTimer;
    bool m_restoreInProgress = false;
    // The attaches under way on their helper threads (a restore attempt's, Start's), and where their results
    // come back.
    std::shared_ptr<TFbAttachAttempt> m_restoreAttempt;
    std::shared_ptr<TFbAttachAttempt> m_startAttempt;
    std::unique_ptr<QTimer> m_startDeadline;
    // While an attach on a helper thread is being prepared: it gets the connect timeout.
    bool m_helperAttach = false;
    std::unique_ptr<QObject> m_attemptContext;
    uint32_t m_callTimeout = 0;
    // How long the last attach on a helper thread waited for its answer.
    std::chrono::milliseconds m_lastAttachWait{0};
    // Guards replacing m_watchedLibrary and m_hurry against HurryCalls from another thread; the connection's
    // own thread reads the pointer without it, as it is the only one that replaces it.
    std::mutex m_watchMutex;
    bool m_hurry = false;
    std::unique_ptr<TFbWatchedClientLibrary> m_watchedLibrary;
};
