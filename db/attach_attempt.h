#pragma once

#include "db/errors.h"

#include <ibase.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class IFbClientLibrary;
class QObject;
class TComponent;

// One attach, made on a helper thread of its own so that the connection's thread goes on (its cycles log
// "not open" rows meanwhile, its window stays live) however long the server takes to answer: an attach has
// no attachment yet that a cancel could reach. The result comes back
// as a queued call on the thread of the context object: the new attachment handle, or the attach's error
// (built on the helper, not yet shown to the error handler). An attachment that nobody takes (the attempt
// was abandoned because the connection goes, its result was refused, or the call never ran because its
// context went first) is detached again instead of staying open on the server.
class TFbAttachAttempt : public std::enable_shared_from_this<TFbAttachAttempt> {
public:
    // Returns whether it took the handle.
    using TDone = std::function<bool(isc_db_handle handle, std::optional<EFbServerError> error)>;

    // library: a registered binding, which lives until the program ends; sender: the connection, named in
    // the error (its name is read on the helper, under the lock that Abandon takes).
    static std::shared_ptr<TFbAttachAttempt> Start(IFbClientLibrary& library, std::string dbName,
                                                   std::string paramBuffer, TComponent* sender,
                                                   QObject* context, TDone done);
    // Its result is dropped from now on, even one already on its way back; the attachment is detached.
    void Abandon();

private:
    TFbAttachAttempt(IFbClientLibrary& library, QObject* context) : m_library(library), m_context(context) {}
    bool Abandoned();
    void Attach(const std::string& dbName, const std::string& paramBuffer, TComponent* sender, TDone done);

    IFbClientLibrary& m_library;
    std::mutex m_mutex;
    QObject* m_context; // none once abandoned
};
