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

// Firebird 2.5 and later report a database shut down under an attachment as "connection shutdown" rather
// than "database shut down"; both leave the attachment dead and must close it.
bool IsShutdown(int engineErrorCode) { return engineErrorCode == isc_shutdown || engineErrorCode == isc_att_shutdown; }
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
        return engineErrorCode == isc_no_dup || engineErrorCode == isc_unique_key_violation ? keUniqueViolation
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
    const bool lost = IsShutdown(engineErrorCode) ||
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

// A call the watchdog broke says so in its message; the rest of the message stays as composed.
void TFbErrorHandler::NoteWatchdogAbort(EFbError& error, TFbBaseDatabase* connection) {
    auto* database = dynamic_cast<TFbDatabase*>(connection);
    if (database == nullptr || !database->TakeCallAborted())
        return;
    const std::string seconds = FormatText("%g", database->CallTimeout() / 1000.0);
    error.SetExtraText("No answer from the server for " + seconds + " s; the call was aborted.\r\n");
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
    const auto handle = [&error](TFbBaseDatabase& database) {
        auto* lostConnection = dynamic_cast<TFbDatabase*>(&database);
        if (lostConnection == nullptr || !lostConnection->Connected())
            return;
        TOnLostConnectActions actions = laCloseConnect;
        lostConnection->HandleLostConnection(error, actions);
    };
    if (connection != nullptr)
        handle(*connection);
    else
        ForEachDatabase(handle);
}
