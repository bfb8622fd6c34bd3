#pragma once

#include "core/component.h"
#include "core/date_time.h"
#include "db/notify_event_list.h"
#include "db/query_link.h"
#include "db/xsqlda.h"

#include <ibase.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

class EFbError;
class IFbClientLibrary;
class TFbBaseDatabase;
class TFbBaseTransaction;

enum TFbQueryOption { qoStartTransaction, qoAutoCommit, qoTrimCharFields, qoNoForceIsNull, qoFreeHandleAfterExecute };
using TFbQueryOptions = std::set<TFbQueryOption>;

// The server's statement-type codes.
enum TFbSQLTypes {
    SQLUnknown,
    SQLSelect,
    SQLInsert,
    SQLUpdate,
    SQLDelete,
    SQLDDL,
    SQLGetSegment,
    SQLPutSegment,
    SQLExecProcedure,
    SQLStartTransaction,
    SQLCommit,
    SQLRollback,
    SQLSelectForUpdate,
    SQLSetGenerator,
    SQLSavePointOperation
};

enum TDataAction { daFail, daAbort, daRetry };

// One SQL statement: prepared once per text on the connection, executed as often as asked in the transaction,
// with at most one open cursor. Parameters are never given values: every one is bound as NULL.
class TFbBaseQuery : public TComponent, public TFbQueryLink {
public:
    explicit TFbBaseQuery(TComponent* owner = nullptr, std::string name = {});
    // Closes the cursor and frees the statement; never throws.
    ~TFbBaseQuery() override;

    TFbBaseDatabase* Database() const { return m_database; }
    // A different connection frees a prepared statement first; without a transaction the query takes the
    // connection's default one.
    virtual void SetDatabase(TFbBaseDatabase* database);
    TFbBaseTransaction* Transaction() const { return m_transaction; }
    void SetTransaction(TFbBaseTransaction* transaction);
    const std::vector<std::string>& SQL() const { return m_sql; }
    // Refused with ceDatasetOpen while a cursor is open; the next execution prepares the new text.
    void SetSQL(std::vector<std::string> lines);
    // The lines, each followed by CR LF.
    std::string SQLText() const;
    bool ParamCheck() const { return m_paramCheck; }
    void SetParamCheck(bool value) { m_paramCheck = value; }
    bool GoToFirstRecordOnExecute() const { return m_goToFirstRecordOnExecute; }
    void SetGoToFirstRecordOnExecute(bool value) { m_goToFirstRecordOnExecute = value; }
    const TFbQueryOptions& Options() const { return m_options; }
    void SetOptions(TFbQueryOptions options) { m_options = std::move(options); }

    TNotifyEvent OnSQLChanging;
    TNotifyEvent BeforeExecute;
    TNotifyEvent AfterExecute;

    void Prepare();
    virtual void ExecQuery();
    void Close();
    void FetchNext();
    void FreeStatement();
    // Column `index` of the current row as a date and time (client errors 41 and 33).
    TDateTime ColumnAsDateTime(int index) const;

    isc_stmt_handle StatementHandle() const { return m_statementHandle; }
    bool IsPrepared() const { return m_isPrepared; }
    bool IsOpen() const { return m_isOpen; }
    bool BeforeFirstRow() const { return m_beforeFirstRow; }
    bool EndOfCursor() const { return m_endOfCursor; }
    int32_t FetchedRows() const { return m_fetchedRows; }
    TFbSQLTypes StatementType() const { return m_statementType; }
    const std::string& ProcessedSQL() const { return m_processedSql; }
    const std::vector<std::string>& ParameterNames() const { return m_parameterNames; }
    const std::string& CursorName() const { return m_cursorName; }
    TFbXSQLDA& InputDescriptor() { return m_input; }
    TFbXSQLDA& OutputDescriptor() { return m_output; }
    const TFbXSQLDA& OutputDescriptor() const { return m_output; }

    void DatabaseAttaching(TFbBaseDatabase&) override {}
    void DatabaseAttached(TFbBaseDatabase&) override {}
    void DatabaseDetaching(TFbBaseDatabase& database) override;
    void DatabaseDetached(TFbBaseDatabase&) override {}
    void DatabaseLost(TFbBaseDatabase& database) override;
    void DatabaseFreeing(TFbBaseDatabase& database) override;
    void TransactionStarting(TFbBaseTransaction&) override {}
    void TransactionStarted(TFbBaseTransaction&) override {}
    void TransactionEnding(TFbBaseTransaction& transaction, TTransactionAction action) override;
    void TransactionEnded(TFbBaseTransaction&, TTransactionAction) override {}
    void TransactionFreeing(TFbBaseTransaction& transaction) override;

private:
    bool HasOption(TFbQueryOption option) const { return m_options.count(option) != 0; }
    IFbClientLibrary& Library() const;
    unsigned short Dialect() const;
    ISC_STATUS CheckStatus(ISC_STATUS result, bool raise = true);
    void ClassifyText();
    void CheckDatabase() const;
    void CheckTransactionAssigned() const;
    void PrepareOnServer();
    void ReadStatementType();
    void SetRandomCursorName();
    void DescribeParameters();
    void DescribeColumns();
    void BeforeExecuteSteps();
    void AfterExecuteSteps();
    void ExecuteByType();
    void ExecuteImmediate();
    void OpenCursor();
    void TakeTheReasonACloseFailed(ISC_STATUS* status);
    void ClearCursorFlags();
    void ForgetStatement();

    TFbBaseDatabase* m_database = nullptr;
    TFbBaseTransaction* m_transaction = nullptr;
    std::vector<std::string> m_sql;
    bool m_paramCheck = true;
    bool m_goToFirstRecordOnExecute = true;
    TFbQueryOptions m_options;

    isc_stmt_handle m_statementHandle = 0;
    bool m_isPrepared = false;
    bool m_isOpen = false;
    // The cursor was open before the last execution, so its close went to the server with that execution.
    bool m_reopened = false;
    bool m_beforeFirstRow = false;
    bool m_endOfCursor = false;
    int32_t m_fetchedRows = 0;
    TFbSQLTypes m_statementType = SQLUnknown;
    std::string m_processedSql;
    std::vector<std::string> m_parameterNames;
    bool m_hasParameters = false;
    bool m_isDdl = false;
    std::string m_cursorName;
    TFbXSQLDA m_input;
    TFbXSQLDA m_output;
};

class TFbQuery;
using TFbQueryErrorEvent = std::function<void(TFbQuery& query, EFbError& error, TDataAction& action)>;

// The window's query: an execution error may be answered by OnExecuteError (fail, abort silently, retry).
class TFbQuery : public TFbBaseQuery {
public:
    using TFbBaseQuery::TFbBaseQuery;

    TFbQueryErrorEvent OnExecuteError;

    void ExecQuery() override;
};
