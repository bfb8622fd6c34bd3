#include "db/attach_attempt.h"

#include "core/component.h"
#include "core/platform.h"
#include "core/posted_call.h"
#include "core/termination_signals.h"
#include "db/client_library.h"

#include <QObject>

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {
std::atomic<int> g_attachesInProgress{0};

// Runs at exit before the client library's own handlers, which were registered earlier (the library is
// loaded before the first attach).
void SkipClientExitWhileAttaching(int status, void*) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (g_attachesInProgress > 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fflush(nullptr);
            _exit(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// An attachment on its way to the connection; detached when it is not taken.
struct TAttachmentInTransit {
    IFbClientLibrary& library;
    isc_db_handle handle;

    TAttachmentInTransit(IFbClientLibrary& owner, isc_db_handle attachment) : library(owner), handle(attachment) {}
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
    EndProcessWithoutWaitingForAttaches();
    std::thread([attempt, dbName = std::move(dbName), paramBuffer = std::move(paramBuffer), sender,
                 done = std::move(done)]() mutable { attempt->Attach(dbName, paramBuffer, sender, std::move(done)); })
        .detach();
    return attempt;
}

void TFbAttachAttempt::Attach(const std::string& dbName, const std::string& paramBuffer, TComponent* sender,
                               TDone done) {
    ISC_STATUS status[kStatusVectorLength] = {};
    isc_db_handle handle = 0;
    ++g_attachesInProgress;
    const ISC_STATUS result =
        m_library.isc_attach_database(status, static_cast<short>(dbName.size()), dbName.data(), &handle,
                                      static_cast<short>(paramBuffer.size()), paramBuffer.data());
    --g_attachesInProgress;
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
    PostCall(m_context, [attachment, failure, done = std::move(done)] {
        if (done(attachment->handle, std::move(*failure)))
            attachment->handle = 0;
    });
}

void TFbAttachAttempt::EndProcessWithoutWaitingForAttaches() {
    static std::once_flag registered;
    std::call_once(registered, [] { on_exit(SkipClientExitWhileAttaching, nullptr); });
}

void TFbAttachAttempt::Abandon() {
    std::lock_guard lock(m_mutex);
    m_context = nullptr;
}
