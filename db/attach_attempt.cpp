#include "db/attach_attempt.h"

#include "core/component.h"
#include "core/platform.h"
#include "core/posted_call.h"
#include "core/termination_signals.h"
#include "db/client_calls_in_flight.h"
#include "db/client_library.h"

#include <QObject>

#include <mutex>
#include <thread>

namespace {

// An attachment on its way to the connection; detached when it is not taken.
struct TAttachmentInTransit {
    IFbClientLibrary& library;
    isc_db_handle handle;

    TAttachmentInTransit(IFbClientLibrary& owner, isc_db_handle attachment)
        : library(owner), handle(attachment) {}
    TAttachmentInTransit(const TAttachmentInTransit&) = delete;
    TAttachmentInTransit& operator=(const TAttachmentInTransit&) = delete;
    ~TAttachmentInTransit() {
        if (handle == 0)
            return;
        ISC_STATUS status[kStatusVectorLength] = {};
        library.isc_detach_database(status, &handle);
        ResetFloatingPointControl();
    }
};
} // namespace

std::shared_ptr<TFbAttachAttempt> TFbAttachAttempt::Start(IFbClientLibrary& library, std::string dbName,
                                                          std::string paramBuffer, TComponent* sender,
                                                          QObject* context, TDone done) {
    std::shared_ptr<TFbAttachAttempt> attempt(new TFbAttachAttempt(library, context));
    // Counted for the helper's whole life, up to the detach of an attachment nobody took: the process must
    // not run the client's exit handler under any of it.
    auto inFlight = std::make_shared<TClientCallInFlight>();
    std::thread([attempt, inFlight, dbName = std::move(dbName), paramBuffer = std::move(paramBuffer), sender,
                 done = std::move(done)]() mutable {
        attempt->Attach(dbName, paramBuffer, sender, std::move(done));
    }).detach();
    return attempt;
}

void TFbAttachAttempt::Attach(const std::string& dbName, const std::string& paramBuffer, TComponent* sender,
                              TDone done) {
    ISC_STATUS status[kStatusVectorLength] = {};
    isc_db_handle handle = 0;
    const ISC_STATUS result =
        m_library.isc_attach_database(status, static_cast<short>(dbName.size()), dbName.data(), &handle,
                                      static_cast<short>(paramBuffer.size()), paramBuffer.data());
    ResetFloatingPointControl();
    // The client puts its own signal handlers in place at its first attach.
    TTerminationSignals::Reinstall();
    if (result > 0)
        handle = 0;
    auto attachment = std::make_shared<TAttachmentInTransit>(m_library, handle);
    // Under the lock, as the error reads the sender's name: the connection cannot go meanwhile.
    std::lock_guard lock(m_mutex);
    if (m_context == nullptr)
        return; // abandoned: the attachment in transit detaches itself
    std::optional<EFbServerError> error;
    if (result > 0)
        error = ServerError(m_library, status, sender);
    auto failure = std::make_shared<std::optional<EFbServerError>>(std::move(error));
    PostCall(m_context, [self = shared_from_this(), attachment, failure, done = std::move(done)] {
        if (self->Abandoned())
            return;
        if (done(attachment->handle, std::move(*failure)))
            attachment->handle = 0;
    });
}

bool TFbAttachAttempt::Abandoned() {
    std::lock_guard lock(m_mutex);
    return m_context == nullptr;
}

void TFbAttachAttempt::Abandon() {
    std::lock_guard lock(m_mutex);
    m_context = nullptr;
}
