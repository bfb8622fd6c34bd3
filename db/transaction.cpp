#include "db/transaction.h"

#include "core/exceptions.h"
#include "core/platform.h"
#include "db/client_library.h"
#include "db/database.h"
#include "db/errors.h"
#include "db/param_buffers.h"
#include "db/query_link.h"

#include <algorithm>

namespace {

// One entry of isc_start_multiple, laid out as the client library reads it (an int length between pointers).
struct TDatabaseEntry {
    isc_db_handle* database;
    int paramLength;
    const char* params;
};

} // namespace

TFbBaseTransaction::TFbBaseTransaction(TComponent* owner, std::string name)
    : TComponent(owner, std::move(name)),
      m_idleTimer([this] { return Active(); }, [this] { EndOnIdle(); }) {}

TFbBaseTransaction::~TFbBaseTransaction() {
    if (Active()) {
        try {
            TFbBaseTransaction::EndTransaction(WithoutRetaining(m_timeoutAction), true);
        } catch (const std::exception&) {
        }
    }
    ForgetDatabases();
    for (TFbQueryLink* link : std::vector(m_queryLinks)) {
        UnregisterQueryLink(link);
        try {
            link->TransactionFreeing(*this);
        } catch (const std::exception&) {
        }
    }
}

void TFbBaseTransaction::ForgetDatabases() {
    for (TFbBaseDatabase* database : std::vector(m_databases))
        RemoveDatabase(database);
}

void TFbBaseTransaction::SetDefaultDatabase(TFbBaseDatabase* database) {
    if (database == m_defaultDatabase)
        return;
    if (database != nullptr)
        AddDatabase(database);
    if (m_defaultDatabase != nullptr)
        RemoveDatabase(m_defaultDatabase);
    m_defaultDatabase = database;
}

void TFbBaseTransaction::SetTRParams(std::vector<std::string> lines) {
    if (lines == m_trParams)
        return;
    m_trParams = std::move(lines);
    m_paramsChanged = true;
}

void TFbBaseTransaction::SetActive(bool value) {
    if (value && !Active())
        StartTransaction();
    else if (!value && Active())
        Rollback();
}

void TFbBaseTransaction::AddDatabase(TFbBaseDatabase* database) {
    if (database == nullptr || std::find(m_databases.begin(), m_databases.end(), database) != m_databases.end())
        return;
    if (!m_databases.empty() && m_databases.front()->LibraryName() != database->LibraryName())
        throw Exception(FormatText("%s.\r\nTransaction can't work with different client library.",
                                   FullName().c_str()));
    m_databases.push_back(database);
    database->RegisterTransaction(this);
}

void TFbBaseTransaction::RemoveDatabase(TFbBaseDatabase* database) {
    if (std::find(m_databases.begin(), m_databases.end(), database) == m_databases.end())
        return;
    std::erase(m_databases, database);
    database->UnregisterTransaction(this);
    if (m_defaultDatabase == database)
        m_defaultDatabase = nullptr;
}

void TFbBaseTransaction::RegisterQueryLink(TFbQueryLink* link) {
    if (link != nullptr && std::find(m_queryLinks.begin(), m_queryLinks.end(), link) == m_queryLinks.end())
        m_queryLinks.push_back(link);
}

void TFbBaseTransaction::UnregisterQueryLink(TFbQueryLink* link) { std::erase(m_queryLinks, link); }

IFbClientLibrary& TFbBaseTransaction::ClientLibrary() const {
    if (m_databases.empty())
        RaiseClientError(ceNoDatabasesInTransaction, FullName());
    return m_databases.front()->ClientLibrary();
}

void TFbBaseTransaction::CheckInTransaction() const {
    if (!Active())
        RaiseClientError(ceTransactionNotActive, FullName());
}

ISC_STATUS TFbBaseTransaction::CheckStatus(ISC_STATUS result, bool raise) {
    ResetFloatingPointControl();
    m_idleTimer.MarkUsed();
    for (TFbBaseDatabase* database : m_databases)
        database->CheckStatus(result, false);
    if (result > 0 && raise)
        RaiseServerError(ClientLibrary(), this);
    return result;
}

void TFbBaseTransaction::NotifySQLExecute(TComponent& /*query*/, bool /*executed*/) {}

void TFbBaseTransaction::StartTransaction() {
    if (Active())
        RaiseClientError(ceTransactionActive, FullName());
    if (m_databases.empty())
        RaiseClientError(ceNoDatabasesInTransaction, FullName());
    if (m_paramsChanged) {
        m_paramBuffer = BuildTransactionParamBuffer(m_trParams);
        m_paramsChanged = false;
    }
    std::vector<TDatabaseEntry> entries;
    for (TFbBaseDatabase* database : m_databases) {
        database->CheckConnected();
        entries.push_back({&database->Handle(), static_cast<int>(m_paramBuffer.size()), m_paramBuffer.data()});
    }
    for (TFbQueryLink* link : std::vector(m_queryLinks))
        link->TransactionStarting(*this);
    m_beforeStartListeners.CallLastFirst(*this);
    const ISC_STATUS result = ClientLibrary().isc_start_multiple(
        ThreadStatusVector(), &m_handle, static_cast<short>(entries.size()), entries.data());
    if (result > 0)
        m_handle = 0;
    CheckStatus(result, true);
    if (!Active())
        return; // the error handler took the refusal as handled
    m_afterStartListeners.CallLastFirst(*this);
    for (TFbQueryLink* link : std::vector(m_queryLinks))
        link->TransactionStarted(*this);
    m_state = tsActive;
}

void TFbBaseTransaction::EndTransaction(TTransactionAction action, bool force) {
    CheckInTransaction();
    if (action == TARollbackRetaining || action == TACommitRetaining)
        EndRetaining(action, force);
    else
        EndPlain(action, force);
    m_state = Active() ? tsActive : tsInactive;
}

void TFbBaseTransaction::NotifyEnding(TTransactionAction action, bool force) {
    for (TFbQueryLink* link : std::vector(m_queryLinks))
        link->TransactionEnding(*this, action);
    m_beforeEndListeners.CallInOrder(*this, action, force);
}

void TFbBaseTransaction::NotifyEnded(TTransactionAction action, bool force) {
    for (TFbQueryLink* link : std::vector(m_queryLinks))
        link->TransactionEnded(*this, action);
    m_afterEndListeners.CallInOrder(*this, action, force);
}

void TFbBaseTransaction::EndRetaining(TTransactionAction action, bool force) {
    const bool commit = action == TACommitRetaining;
    m_state = commit ? tsDoCommitRetaining : tsDoRollbackRetaining;
    NotifyEnding(action, force);
    IFbClientLibrary& library = ClientLibrary();
    ISC_STATUS* status = ThreadStatusVector();
    CheckStatus(commit ? library.isc_commit_retaining(status, &m_handle)
                       : library.isc_rollback_retaining(status, &m_handle),
                true);
    NotifyEnded(action, force);
}

void TFbBaseTransaction::EndPlain(TTransactionAction action, bool force) {
    if (m_lost && !force && action != m_timeoutAction)
        RaiseClientError(ceCannotEndSharedTransaction);
    const bool commit = action == TACommit;
    m_state = commit ? tsDoCommit : tsDoRollback;
    NotifyEnding(action, force);
    if (m_lost) {
        // The server side is gone: nothing to tell it.
        m_handle = 0;
        m_lost = false;
    } else {
        IFbClientLibrary& library = ClientLibrary();
        ISC_STATUS* status = ThreadStatusVector();
        const ISC_STATUS result = commit ? library.isc_commit_transaction(status, &m_handle)
                                         : library.isc_rollback_transaction(status, &m_handle);
        if (result > 0 && force) {
            CheckStatus(result, false);
            CheckStatus(library.isc_rollback_transaction(status, &m_handle), false);
            m_handle = 0;
        } else {
            CheckStatus(result, true);
        }
    }
    NotifyEnded(action, force);
}

void TFbBaseTransaction::EndOnIdle() {
    EndTransaction(m_timeoutAction, true);
    if (OnTimeout)
        OnTimeout(*this);
}

void TFbTransaction::StartTransaction() {
    if (Active())
        return;
    if (m_tpbMode == tpbReadCommitted)
        SetTRParams({"write", "isc_tpb_nowait", "read_committed", "rec_version"});
    else if (m_tpbMode == tpbRepeatableRead)
        SetTRParams({"write", "isc_tpb_nowait", "concurrency"});
    TFbBaseDatabase* database = DefaultDatabase();
    if (database != nullptr && database->BeforeStartTransaction)
        database->BeforeStartTransaction(*this);
    if (BeforeStart)
        BeforeStart(*this);
    TFbBaseTransaction::StartTransaction();
    if (AfterStart)
        AfterStart(*this);
    if (database != nullptr && database->AfterStartTransaction)
        database->AfterStartTransaction(*this);
}

void TFbTransaction::EndTransaction(TTransactionAction action, bool force) {
    TFbBaseDatabase* database = DefaultDatabase();
    if (database != nullptr && database->BeforeEndTransaction)
        database->BeforeEndTransaction(*this, action, force);
    if (BeforeEnd)
        BeforeEnd(*this, action, force);
    TFbBaseTransaction::EndTransaction(action, force);
    if (AfterEnd)
        AfterEnd(*this, action, force);
    if (database != nullptr && database->AfterEndTransaction)
        database->AfterEndTransaction(*this, action, force);
}

void TFbTransaction::NotifySQLExecute(TComponent& query, bool executed) {
    const TNotifyEvent& event = executed ? AfterSQLExecute : BeforeSQLExecute;
    if (event)
        event(query);
}
