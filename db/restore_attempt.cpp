#include "db/restore_attempt.h"

#include "core/component.h"
#include "core/platform.h"
#include "db/client_library.h"

#include <QObject>

#include <thread>

namespace {
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

std::shared_ptr<TFbRestoreAttempt> TFbRestoreAttempt::Start(IFbClientLibrary& library, std::string dbName,
                                                            std::string paramBuffer, TComponent* sender,
                                                            QObject* context, TDone done) {
    std::shared_ptr<TFbRestoreAttempt> attempt(new TFbRestoreAttempt(library, context));
    std::thread([attempt, dbName = std::move(dbName), paramBuffer = std::move(paramBuffer), sender,
                 done = std::move(done)]() mutable { attempt->Attach(dbName, paramBuffer, sender, std::move(done)); })
        .detach();
    return attempt;
}

void TFbRestoreAttempt::Attach(const std::string& dbName, const std::string& paramBuffer, TComponent* sender,
                               TDone done) {
    ISC_STATUS status[kStatusVectorLength] = {};
    isc_db_handle handle = 0;
    const ISC_STATUS result =
        m_library.isc_attach_database(status, static_cast<short>(dbName.size()), dbName.data(), &handle,
                                      static_cast<short>(paramBuffer.size()), paramBuffer.data());
    ResetFloatingPointControl();
    std::optional<EFbServerError> error;
    if (result > 0) {
        handle = 0;
        error = ServerError(m_library, status, sender);
    }
    auto attachment = std::make_shared<TAttachmentInTransit>(m_library, handle);
    std::lock_guard lock(m_mutex);
    if (m_context == nullptr)
        return; // abandoned: the attachment in transit detaches itself
    QMetaObject::invokeMethod(
        m_context, [attachment, error = std::move(error), done = std::move(done)]() mutable {
            if (done(attachment->handle, std::move(error)))
                attachment->handle = 0;
        },
        Qt::QueuedConnection);
}

void TFbRestoreAttempt::Abandon() {
    std::lock_guard lock(m_mutex);
    m_context = nullptr;
}
