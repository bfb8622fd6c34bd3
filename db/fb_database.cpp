#include "db/fb_database.h"

#include "core/error_box.h"
#include "core/platform.h"
#include "db/attach_attempt.h"
#include "db/errors.h"
#include "db/query_link.h"
#include "db/transaction.h"
#include "db/watched_client_library.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// The client counts its connect timeout in whole seconds.
uint32_t RestoreConnectTimeoutSeconds(uint32_t callTimeoutMs) {
    return std::max<uint32_t>(1, (callTimeoutMs + 999) / 1000);
}

// An attach that nobody answered, given up after waited: a client error of ours, as a call aborted at its
// limit is, so that it reads as no answer and not as a refusal.
EFbClientError AttachGivenUp(TComponent* sender, std::chrono::milliseconds waited) {
    EFbError::TFields fields;
    fields.sqlErrorCode = ceConnectionTimedOut;
    fields.senderName = sender->FullName();
    fields.sender = sender;
    fields.unanswered = true;
    fields.extraText = FormatText("No answer from the server for %lld s; the attach was given up.\r\n",
                                  static_cast<long long>(waited.count() / 1000));
    fields.clientText = ClientErrorMessage(ceConnectionTimedOut);
    return EFbClientError(std::move(fields));
}

// The client ends an attach at its connect timeout with "connection rejected by remote interface", as if
// the server had refused it: after that long a wait, nothing answered.
bool RejectedAtConnectTimeout(const std::optional<EFbServerError>& error, std::chrono::milliseconds waited,
                              uint32_t timeoutSeconds) {
    if (!error)
        return false;
    const std::vector<int32_t>& codes = error->EngineCodes();
    return std::find(codes.begin(), codes.end(), isc_connect_reject) != codes.end() &&
           waited >= std::chrono::seconds(timeoutSeconds) - std::chrono::milliseconds(500);
}

void AskApplicationToTerminate() {
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            application, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

} // namespace

TFbDatabase::TFbDatabase(TComponent* owner, std::string name) : TFbBaseDatabase(owner, std::move(name)) {
}

TFbDatabase::~TFbDatabase() {
    AbandonAttaches();
    // Detach here, while the object is still a TFbDatabase, so that its own Detach runs.
    BeginDestruction();
    try {
        Detach(true, false);
    } catch (const std::exception&) {
    }
}

uint32_t TFbDatabase::WaitForRestoreConnect() const {
    return m_restoreTimer ? static_cast<uint32_t>(m_restoreTimer->interval()) : 0;
}

void TFbDatabase::SetWaitForRestoreConnect(uint32_t milliseconds) {
    if (milliseconds == 0) {
        m_restoreTimer.reset();
        return;
    }
    if (!m_restoreTimer) {
        m_restoreTimer = std::make_unique<QTimer>();
        QObject::connect(m_restoreTimer.get(), &QTimer::timeout, [this] { RestoreTick(); });
    }
    m_restoreTimer->setInterval(static_cast<int>(milliseconds));
}

void TFbDatabase::HandleLostConnection(EFbError& error, TOnLostConnectActions& actions) {
    if (OnLostConnect)
        OnLostConnect(*this, error, actions);
    switch (actions) {
    case laTerminateApp:
        ForgetConnection();
        AskApplicationToTerminate();
        break;
    case laCloseConnect:
        ForgetConnection();
        break;
    case laWaitRestore:
        ForgetConnection();
        // An enabled timer keeps its schedule, as enabling it again changes nothing.
        if (m_restoreTimer && !m_restoreTimer->isActive())
            m_restoreTimer->start();
        break;
    case laIgnore:
        break;
    }
}

void TFbDatabase::ForgetConnection() {
    ReleaseDeadAttachment();
    Handle() = 0;
    for (TFbQueryLink* link : std::vector(QueryLinks())) {
        try {
            link->DatabaseLost(*this);
        } catch (const std::exception&) {
        }
    }
    for (TFbBaseTransaction* transaction : std::vector(Transactions())) {
        if (!transaction->Active())
            continue;
        try {
            transaction->SetLost();
            transaction->EndTransaction(TACommit, true);
        } catch (const std::exception&) {
        }
    }
}

// The client library still keeps its record of the dead attachment, with the statements and transactions
// on it; left alone, the library trips over them when it shuts down at program exit. Its link is already
// broken (that is how the loss was found), so the detach only releases that record and sends nothing; its
// answer does not matter. A separate status vector leaves the error being raised untouched.
void TFbDatabase::ReleaseDeadAttachment() {
    ISC_STATUS status[kStatusVectorLength] = {};
    try {
        ClientLibrary().isc_detach_database(status, &Handle());
    } catch (const std::exception&) {
    }
    ResetFloatingPointControl();
}

// The attach itself runs on a helper thread, so that this thread goes on meanwhile; the attempt ends in
// EndRestoreAttempt when the server has answered.
void TFbDatabase::TryRestoreConnection() {
    if (Connected() || m_restoreAttempt)
        return;
    m_restoreInProgress = true;
    TOnLostConnectActions actions = laIgnore;
    if (m_restoreTimer && m_restoreTimer->isActive()) {
        m_restoreTimer->stop();
        actions = laWaitRestore;
    }
    try {
        m_restoreAttempt =
            StartHelperAttach([this, actions](isc_db_handle handle, std::optional<EFbServerError> error) {
                m_restoreAttempt.reset();
                bool taken = false;
                RunShowingRestoreFailures([&] { taken = EndRestoreAttempt(handle, error, actions); });
                return taken;
            });
        if (!m_restoreAttempt)
            EndRestoreAttempt(0, std::nullopt, actions);
    } catch (EFbError& error) {
        m_restoreInProgress = false;
        RestoreAttemptFailed(error, actions);
    }
}

// Also after a success: a finished attempt is no longer in progress, and a later silenced loss must end its
// operation again. Returns whether the new attachment was taken.
bool TFbDatabase::EndRestoreAttempt(isc_db_handle handle, std::optional<EFbServerError> error,
                                    TOnLostConnectActions actions) {
    struct EndOfAttempt {
        bool& inProgress;
        ~EndOfAttempt() { inProgress = false; }
    } endOfAttempt{m_restoreInProgress};
    bool taken = false;
    if (error && error->Unanswered()) {
        EFbClientError givenUp = AttachGivenUp(this, m_lastAttachWait);
        RestoreAttemptFailed(givenUp, actions);
        return false;
    }
    try {
        AdoptAttachment(handle, error, taken);
        if (!Connected()) {
            // The application silenced the attach's error: the attempt failed all the same, so try again.
            if (actions == laWaitRestore && m_restoreTimer)
                m_restoreTimer->start();
        } else if (taken && AfterRestoreConnect) {
            AfterRestoreConnect(*this);
        }
    } catch (EFbError& failure) {
        RestoreAttemptFailed(failure, actions);
    }
    return taken;
}

void TFbDatabase::AbandonAttaches() {
    if (m_restoreTimer)
        m_restoreTimer->stop();
    for (std::shared_ptr<TFbAttachAttempt>* attempt : {&m_restoreAttempt, &m_startAttempt})
        if (*attempt) {
            (*attempt)->Abandon();
            attempt->reset();
        }
    m_startDeadline.reset();
    m_restoreInProgress = false;
}

void TFbDatabase::AttachInBackground(std::function<void(std::exception_ptr error)> done) {
    m_startAttempt =
        StartHelperAttach([this, done](isc_db_handle handle, std::optional<EFbServerError> error) {
            m_startAttempt.reset();
            m_startDeadline.reset();
            bool taken = false;
            std::exception_ptr failure;
            try {
                if (error && error->Unanswered())
                    throw AttachGivenUp(this, m_lastAttachWait);
                AdoptAttachment(handle, error, taken);
            } catch (...) {
                failure = std::current_exception();
            }
            done(failure);
            return taken;
        });
    if (!m_startAttempt) {
        done(nullptr);
        return;
    }
    if (m_callTimeout != 0)
        AbandonStartAttachAt(std::chrono::milliseconds(m_callTimeout) + TFbCallWatchdog::kGrace,
                             std::move(done));
}

// The client's connect timeout does not bound every step of an attach; past it and the grace the attach is
// given up here, as a call would be aborted (the late attachment, if any, is detached again).
void TFbDatabase::AbandonStartAttachAt(std::chrono::milliseconds limit,
                                       std::function<void(std::exception_ptr)> done) {
    m_startDeadline = std::make_unique<QTimer>();
    m_startDeadline->setSingleShot(true);
    QObject::connect(m_startDeadline.get(), &QTimer::timeout, [this, limit, done = std::move(done)] {
        m_startAttempt->Abandon();
        m_startAttempt.reset();
        m_startDeadline.release()->deleteLater();
        done(std::make_exception_ptr(AttachGivenUp(this, limit)));
    });
    m_startDeadline->start(limit);
}

std::shared_ptr<TFbAttachAttempt> TFbDatabase::StartHelperAttach(TFbAttachAttempt::TDone done) {
    m_helperAttach = true;
    struct TPrepared {
        bool& flag;
        ~TPrepared() { flag = false; }
    } prepared{m_helperAttach};
    if (!PrepareAttach())
        return nullptr;
    if (!m_attemptContext)
        m_attemptContext = std::make_unique<QObject>();
    const auto begun = std::chrono::steady_clock::now();
    const uint32_t timeoutSeconds = CallTimeout() == 0 ? 0 : RestoreConnectTimeoutSeconds(CallTimeout());
    return TFbAttachAttempt::Start(
        TFbBaseDatabase::ClientLibrary(), DBName(), AttachBuffer(), this, m_attemptContext.get(),
        [this, begun, timeoutSeconds, done = std::move(done)](isc_db_handle handle,
                                                             std::optional<EFbServerError> error) {
            m_lastAttachWait = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - begun);
            if (timeoutSeconds != 0 && RejectedAtConnectTimeout(error, m_lastAttachWait, timeoutSeconds))
                error->SetUnanswered({});
            return done(handle, std::move(error));
        });
}

// The attach's error goes through the error handler as the attach's own would; otherwise the new attachment
// is put in place, unless the connection was attached again meanwhile (it is then one too many), and the
// attach completes. Failures of the completion leave the attachment in place.
void TFbDatabase::AdoptAttachment(isc_db_handle handle, std::optional<EFbServerError>& error, bool& taken) {
    if (error)
        RaiseBuiltServerError(*error, this);
    if (handle == 0 || Connected())
        return;
    Handle() = handle;
    taken = true;
    CompleteAttach();
}

void TFbDatabase::RestoreAttemptFailed(EFbError& error, TOnLostConnectActions actions) {
    if (OnErrorRestoreConnect)
        OnErrorRestoreConnect(*this, error, actions);
    if (actions == laWaitRestore && m_restoreTimer)
        m_restoreTimer->start();
    if (actions == laTerminateApp) {
        m_restoreInProgress = false;
        ShowRestoreFailure(error.Message());
        AskApplicationToTerminate();
    }
}

// With a call limit, an attach on a helper thread (Start's, a restore attempt's) may wait no longer than
// that limit for a server that took the link but stays silent (the client's own default is three minutes).
// A plain Connected := true sends the parameters exactly as built from DBParams.
std::string TFbDatabase::AttachParamBuffer(const std::string& built) const {
    if (!m_helperAttach || CallTimeout() == 0)
        return built;
    const uint32_t seconds = RestoreConnectTimeoutSeconds(CallTimeout());
    std::string buffer = built;
    buffer += static_cast<char>(isc_dpb_connect_timeout);
    buffer += static_cast<char>(4);
    for (int shift = 0; shift < 32; shift += 8)
        buffer += static_cast<char>((seconds >> shift) & 0xFF);
    return buffer;
}

void TFbDatabase::RestoreTick() {
    RunShowingRestoreFailures([this] { TryRestoreConnection(); });
}

void TFbDatabase::RunShowingRestoreFailures(const std::function<void()>& step) {
    try {
        step();
    } catch (const EAbort&) {
    } catch (const Exception& error) {
        ShowRestoreFailure(error.Message());
    }
}

void TFbDatabase::ShowRestoreFailure(const std::string& message) {
    if (ShowErrorMessage)
        ShowErrorMessage(message);
    else
        std::fprintf(stderr, "%s\n", ErrorBoxText(message).c_str());
}

void TFbDatabase::Detach(bool force, bool skipProbe) {
    if (Connected() && !skipProbe && !ProbeAttachment())
        return;
    TFbBaseDatabase::Detach(force, skipProbe);
}

bool TFbDatabase::ProbeAttachment() {
    try {
        IntegerInfo(isc_info_base_level);
        return Connected();
    } catch (EFbError& error) {
        TOnLostConnectActions actions = laCloseConnect;
        HandleLostConnection(error, actions);
    } catch (const EAbort&) {
        // The error handler already dealt with the loss and silenced it.
    }
    return false;
}

void TFbDatabase::SetCallTimeout(uint32_t milliseconds) {
    std::lock_guard lock(m_watchMutex);
    m_callTimeout = milliseconds;
    m_watchedLibrary.reset(); // made again, with the new limit, by the next call
}

void TFbDatabase::HurryCalls(bool hurry) {
    std::lock_guard lock(m_watchMutex);
    m_hurry = hurry;
    if (m_watchedLibrary)
        m_watchedLibrary->Hurry(hurry);
}

IFbClientLibrary& TFbDatabase::ClientLibrary() {
    IFbClientLibrary& library = TFbBaseDatabase::ClientLibrary();
    if (m_callTimeout == 0 || !library.HasCancelOperation())
        return library;
    if (!m_watchedLibrary || &m_watchedLibrary->Library() != &library) {
        std::lock_guard lock(m_watchMutex);
        m_watchedLibrary =
            std::make_unique<TFbWatchedClientLibrary>(library, m_callTimeout, [this] { return Handle(); });
        m_watchedLibrary->Hurry(m_hurry);
    }
    return *m_watchedLibrary;
}

TFbCallEnd TFbDatabase::TakeLastCallEnd() {
    return m_watchedLibrary ? m_watchedLibrary->TakeLastCallEnd() : TFbCallEnd{};
}

bool TFbDatabase::TakeCallCutShort() {
    return m_watchedLibrary && m_watchedLibrary->TakeCallCutShort();
}
