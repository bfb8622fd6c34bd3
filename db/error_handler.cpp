#include "db/error_handler.h"

#include "db/errors.h"
#include "db/fb_database.h"
#include "db/query.h"
#include "db/transaction.h"

#include <ibase.h>

#include <mutex>

namespace {
std::mutex g_instanceMutex;
TFbErrorHandler* g_instance = nullptr;

// A database shut down under an attachment: the attachment must be closed by force. "Connection shutdown"
// (isc_att_shutdown) is not one of these: it is what the attachment itself gets, a lost connection like a
// broken link, after which the database may well be online again.
bool IsShutdown(int engineErrorCode) {
    return engineErrorCode == isc_shutdown;
}
} // namespace

TFbErrorHandler::TFbErrorHandler(TComponent* owner, std::string name) : TComponent(owner, std::move(name)) {
    std::lock_guard lock(g_instanceMutex);
    if (g_instance != nullptr || ServerErrorHandlerRegistered())
        throw Exception("Instance of TFbErrorHandler already exists");
    g_instance = this;
    RegisterServerErrorHandler(
        [this](TComponent* sender, EFbError& error, bool& doRaise) { HandleError(sender, error, doRaise); });
}

TFbErrorHandler::~TFbErrorHandler() {
    std::lock_guard lock(g_instanceMutex);
    UnregisterServerErrorHandler();
    g_instance = nullptr;
}

TKindFbError TFbErrorHandler::Classify(int sqlErrorCode, int engineErrorCode) {
    switch (sqlErrorCode) {
    case -836:
        return keException;
    case -803:
        return engineErrorCode == isc_no_dup || engineErrorCode == isc_unique_key_violation
                   ? keUniqueViolation
                   : keOther;
    case -551:
        return keSecurity;
    case -530:
        return engineErrorCode == isc_foreign_key ? keForeignKey : keOther;
    case -297:
        return keCheck;
    default:
        break;
    }
    const bool lost = IsShutdown(engineErrorCode) || engineErrorCode == isc_att_shutdown ||
                      (engineErrorCode >= isc_net_connect_err && engineErrorCode <= isc_net_write_err) ||
                      engineErrorCode == isc_lost_db_connection ||
                      (sqlErrorCode == -902 && engineErrorCode == isc_network_error);
    return lost ? keLostConnect : keOther;
}

TFbBaseDatabase* TFbErrorHandler::ConnectionOf(TComponent* sender) {
    if (auto* database = dynamic_cast<TFbBaseDatabase*>(sender))
        return database;
    if (auto* query = dynamic_cast<TFbBaseQuery*>(sender))
        return query->Database();
    if (auto* transaction = dynamic_cast<TFbBaseTransaction*>(sender)) {
        if (transaction->DefaultDatabase() != nullptr)
            return transaction->DefaultDatabase();
        return transaction->Databases().empty() ? nullptr : transaction->Databases().front();
    }
    return nullptr;
}

void TFbErrorHandler::HandleError(TComponent* sender, EFbError& error, bool& doRaise) {
    m_lastErrorKind = Classify(error.SqlErrorCode(), error.EngineErrorCode());
    TFbBaseDatabase* connection = ConnectionOf(sender);
    NoteWatchdogAbort(error, connection);
    if (m_lastErrorKind == keLostConnect)
        HandleLostConnection(error, connection);
    if (!OnFbErrorEvent)
        return;
    OnFbErrorEvent(sender, error, m_lastErrorKind, doRaise);
    if (m_lastErrorKind == keLostConnect && !doRaise) {
        // A failed restore attempt consumes its own error; anywhere else a silenced loss must still end the
        // operation that met it.
        const auto* database = dynamic_cast<TFbDatabase*>(connection);
        if (database == nullptr || !database->RestoreInProgress())
            throw EAbort();
    }
}

// A call the watchdog broke says so in its message, with how long it really waited and why it was broken;
// the rest of the message stays as composed.
void TFbErrorHandler::NoteWatchdogAbort(EFbError& error, TFbBaseDatabase* connection) {
    auto* database = dynamic_cast<TFbDatabase*>(connection);
    if (database == nullptr)
        return;
    const TFbCallEnd end = database->TakeLastCallEnd();
    if (end.cancel != TFbCallCancel::Aborted)
        return;
    const long long waited = static_cast<long long>(end.waited.count() / 1000);
    error.SetUnanswered(
        end.cutShort ? FormatText("No answer from the server for %lld s; the call was aborted as the run "
                                  "ended.\r\n",
                                  waited)
                     : FormatText("No answer from the server for %lld s, beyond the call limit of %g s; "
                                  "the call was aborted.\r\n",
                                  waited, database->CallTimeout() / 1000.0));
}

void TFbErrorHandler::HandleLostConnection(EFbError& error, TFbBaseDatabase* connection) {
    if (m_handlingLoss)
        return;
    m_handlingLoss = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_handlingLoss};
    if (IsShutdown(error.EngineErrorCode()) && connection != nullptr)
        connection->Detach(true, true);
    if (m_options.count(oeLostConnect) == 0)
        return;
    // After a shutdown's forced close the connection is no longer attached, but it waits for the restore all
    // the same: a database taken offline for maintenance comes back online, and the run must see that.
    const bool closedByShutdown = IsShutdown(error.EngineErrorCode()) && connection != nullptr;
    const auto handle = [&error, closedByShutdown](TFbBaseDatabase& database) {
        auto* lostConnection = dynamic_cast<TFbDatabase*>(&database);
        if (lostConnection == nullptr || (!lostConnection->Connected() && !closedByShutdown) ||
            lostConnection->RestoreInProgress())
            return;
        TOnLostConnectActions actions = laCloseConnect;
        lostConnection->HandleLostConnection(error, actions);
    };
    if (connection != nullptr)
        handle(*connection);
    else
        ForEachDatabase(handle);
}
