#pragma once

#include "core/component.h"
#include "db/idle_timer.h"
#include "db/notify_event_list.h"
#include "db/transaction_action.h"

#include <ibase.h>

#include <cstdint>
#include <string>
#include <vector>

class IFbClientLibrary;
class TFbBaseDatabase;
class TFbQueryLink;

// Where a transaction is: running, not running, or in the middle of one way of ending. A failed end without
// force leaves the state showing that ending until the next start or end.
enum TTransactionState {
    tsActive,
    tsInactive,
    tsDoRollback,
    tsDoRollbackRetaining,
    tsDoCommit,
    tsDoCommitRetaining
};

// Whether TRParams is used as it stands or replaced at every start.
enum TTPBMode { tpbDefault, tpbReadCommitted, tpbRepeatableRead };

// A server transaction over one or more connections (all on the same client library), started from the
// transaction parameters and ended by commit or rollback, plain or retaining. Queries register a link to hear
// when it starts and ends.
class TFbBaseTransaction : public TComponent {
public:
    explicit TFbBaseTransaction(TComponent* owner = nullptr, std::string name = {});
    // Ends a running transaction with force (retaining actions count as their plain ones).
    ~TFbBaseTransaction() override;

    TFbBaseDatabase* DefaultDatabase() const { return m_defaultDatabase; }
    // Registers the transaction with the connection and the connection with the transaction.
    void SetDefaultDatabase(TFbBaseDatabase* database);
    const std::vector<std::string>& TRParams() const { return m_trParams; }
    void SetTRParams(std::vector<std::string> lines);
    // How the transaction ends when it times out, when its connection detaches and when it is destroyed.
    TTransactionAction TimeoutAction() const { return m_timeoutAction; }
    void SetTimeoutAction(TTransactionAction action) { m_timeoutAction = action; }
    // Idle time-out in milliseconds; 0 means off.
    uint32_t Timeout() const { return m_idleTimer.Interval(); }
    void SetTimeout(uint32_t milliseconds) { m_idleTimer.SetInterval(milliseconds); }
    bool Active() const { return m_handle != 0; }
    // true starts an inactive transaction; false rolls back an active one.
    void SetActive(bool value);

    // The transaction ended by its idle time-out.
    TNotifyEvent OnTimeout;

    virtual void EndTransaction(TTransactionAction action, bool force);
    // A query is about to run a statement in this transaction (executed false) or has run it (true).
    virtual void NotifySQLExecute(TComponent& query, bool executed);
    virtual void StartTransaction();
    void Commit() { EndTransaction(TACommit, false); }
    void CommitRetaining() { EndTransaction(TACommitRetaining, false); }
    void Rollback() { EndTransaction(TARollback, false); }
    void RollbackRetaining() { EndTransaction(TARollbackRetaining, false); }

    TTransactionState State() const { return m_state; }

    // The connections the transaction spans, in order of registration. Adding one whose client library differs
    // from the first one's is refused.
    const std::vector<TFbBaseDatabase*>& Databases() const { return m_databases; }
    void AddDatabase(TFbBaseDatabase* database);
    void RemoveDatabase(TFbBaseDatabase* database);

    // For queries.
    isc_tr_handle& Handle() { return m_handle; }
    // ceTransactionNotActive when the transaction is not active.
    void CheckInTransaction() const;
    // After every client call made for the transaction: resets the floating-point settings, marks the
    // transaction and its connections as used, and raises the server error (sender: the transaction) when asked
    // to and the call failed. Returns the result.
    ISC_STATUS CheckStatus(ISC_STATUS result, bool raise);
    const std::vector<TFbQueryLink*>& QueryLinks() const { return m_queryLinks; }
    void RegisterQueryLink(TFbQueryLink* link);
    void UnregisterQueryLink(TFbQueryLink* link);

    // For the lost-connection handling: the server side is gone, so the next end must not call the server.
    void SetLost() { m_lost = true; }
    bool Lost() const { return m_lost; }

    // Listeners: before and after every start (last added first), before and after every end.
    using TEndListeners = TNotifyEventList<TFbBaseTransaction&, TTransactionAction, bool>;
    TNotifyEventList<TComponent&>& BeforeStartListeners() { return m_beforeStartListeners; }
    TNotifyEventList<TComponent&>& AfterStartListeners() { return m_afterStartListeners; }
    TEndListeners& BeforeEndListeners() { return m_beforeEndListeners; }
    TEndListeners& AfterEndListeners() { return m_afterEndListeners; }

private:
    IFbClientLibrary& ClientLibrary() const;
    void NotifyEnding(TTransactionAction action, bool force);
    void NotifyEnded(TTransactionAction action, bool force);
    void EndRetaining(TTransactionAction action, bool force);
    void EndPlain(TTransactionAction action, bool force);
    void EndOnIdle();
    void ForgetDatabases();

    TFbBaseDatabase* m_defaultDatabase = nullptr;
    std::vector<std::string> m_trParams;
    bool m_paramsChanged = true;
    std::string m_paramBuffer;
    TTransactionAction m_timeoutAction = TARollback;
    isc_tr_handle m_handle = 0;
    TTransactionState m_state = tsInactive;
    bool m_lost = false;
    std::vector<TFbBaseDatabase*> m_databases;
    std::vector<TFbQueryLink*> m_queryLinks;
    TNotifyEventList<TComponent&> m_beforeStartListeners;
    TNotifyEventList<TComponent&> m_afterStartListeners;
    TEndListeners m_beforeEndListeners;
    TEndListeners m_afterEndListeners;
    TFbIdleTimer m_idleTimer;
};

// The transaction component of the window: adds the parameter modes and the events around start, end and
// statement execution. Starting it while active does nothing.
class TFbTransaction : public TFbBaseTransaction {
public:
    using TFbBaseTransaction::TFbBaseTransaction;

    TTPBMode TPBMode() const { return m_tpbMode; }
    void SetTPBMode(TTPBMode mode) { m_tpbMode = mode; }

    TNotifyEvent BeforeStart;
    TNotifyEvent AfterStart;
    TEndTrEvent BeforeEnd;
    TEndTrEvent AfterEnd;
    // Sender: the query that runs the statement.
    TNotifyEvent BeforeSQLExecute;
    TNotifyEvent AfterSQLExecute;

    void StartTransaction() override;
    void EndTransaction(TTransactionAction action, bool force) override;
    void NotifySQLExecute(TComponent& query, bool executed) override;

private:
    TTPBMode m_tpbMode = tpbReadCommitted;
};
