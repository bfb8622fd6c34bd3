#include "db/query.h"

#include "core/exceptions.h"
#include "core/platform.h"
#include "db/client_library.h"
#include "db/database.h"
#include "db/errors.h"
#include "db/sql_scan.h"
#include "db/transaction.h"

#include <QDate>
#include <QLocale>
#include <QString>

#include <algorithm>
#include <array>
#include <random>

namespace {

constexpr ISC_STATUS kInvalidStatementHandle = 335544485;
constexpr ISC_STATUS kCursorAlreadyClosed = 335544577;
constexpr ISC_STATUS kCursorAlreadyOpen = 335544576;
constexpr ISC_STATUS kInvalidCursorReference = 335544572;
constexpr int kDaysFrom1858To1899 = 15018;
constexpr double kMillisecondsPerDay = 86400000.0;
constexpr double kTimeUnitsPerDay = 864000000.0;

// Whether an error code appears anywhere among the status vector's codes.
bool StatusHoldsCode(const ISC_STATUS* status, ISC_STATUS code) {
    for (int i = 0; i < kStatusVectorLength - 1 && status[i] != isc_arg_end;) {
        const ISC_STATUS kind = status[i];
        if (kind == isc_arg_gds && status[i + 1] == code)
            return true;
        i += kind == isc_arg_cstring ? 3 : 2;
    }
    return false;
}

// The client's portable (little-endian) integer encoding, decoded here: this is arithmetic, not a server call.
int32_t VaxInteger(const char* bytes, int length) {
    uint32_t value = 0;
    for (int i = 0; i < length && i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    if (length > 0 && length < 4 && (bytes[length - 1] & 0x80))
        value |= ~0u << (8 * length); // sign extension
    return static_cast<int32_t>(value);
}

bool IsSelectType(TFbSQLTypes type) { return type == SQLSelect || type == SQLSelectForUpdate; }

bool IsBlank(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) > ' ')
            return false;
    }
    return true;
}

} // namespace

TFbBaseQuery::TFbBaseQuery(TComponent* owner, std::string name) : TComponent(owner, std::move(name)) {}

TFbBaseQuery::~TFbBaseQuery() {
    try {
        Close();
    } catch (const std::exception&) {
    }
    try {
        FreeStatement();
    } catch (const std::exception&) {
    }
    SetTransaction(nullptr);
    if (m_database != nullptr)
        m_database->UnregisterQueryLink(this);
}

void TFbBaseQuery::SetDatabase(TFbBaseDatabase* database) {
    if (database == m_database)
        return;
    if (m_isPrepared)
        FreeStatement();
    if (m_database != nullptr)
        m_database->UnregisterQueryLink(this);
    m_database = database;
    if (m_database == nullptr)
        return;
    m_database->RegisterQueryLink(this);
    if (m_transaction == nullptr)
        SetTransaction(m_database->DefaultTransaction());
}

void TFbBaseQuery::SetTransaction(TFbBaseTransaction* transaction) {
    if (transaction == m_transaction)
        return;
    if (m_transaction != nullptr)
        m_transaction->UnregisterQueryLink(this);
    m_transaction = transaction;
    if (m_transaction != nullptr)
        m_transaction->RegisterQueryLink(this);
}

std::string TFbBaseQuery::SQLText() const {
    std::string text;
    for (const std::string& line : m_sql)
        text += line + "\r\n";
    return text;
}

void TFbBaseQuery::SetSQL(std::vector<std::string> lines) {
    if (m_isOpen)
        RaiseClientError(ceDatasetOpen, "change sql text", FullName());
    if (OnSQLChanging)
        OnSQLChanging(*this);
    if (m_statementHandle != 0)
        FreeStatement();
    m_sql = std::move(lines);
    ClassifyText();
    FreeStatement();
}

void TFbBaseQuery::ClassifyText() {
    const std::string text = SQLText();
    m_isDdl = IsDdlText(text);
    m_hasParameters = m_paramCheck && !m_isDdl && HasParameterMarkers(text);
    if (m_hasParameters) {
        TPreprocessedSql preprocessed = PreprocessSql(text, FullName());
        m_processedSql = std::move(preprocessed.processedSql);
        m_parameterNames = std::move(preprocessed.parameterNames);
        return;
    }
    m_input.SetCount(0);
    m_output.SetCount(0);
    m_parameterNames.clear();
    m_processedSql = text;
}

IFbClientLibrary& TFbBaseQuery::Library() const {
    if (m_database == nullptr)
        RaiseClientError(ceDatabaseNotAssigned, FullName());
    return m_database->ClientLibrary();
}

unsigned short TFbBaseQuery::Dialect() const { return static_cast<unsigned short>(m_database->SQLDialect()); }

ISC_STATUS TFbBaseQuery::CheckStatus(ISC_STATUS result, bool raise) {
    if (m_transaction != nullptr)
        result = m_transaction->CheckStatus(result, false);
    else
        ResetFloatingPointControl();
    if (raise && result > 0)
        RaiseServerError(Library(), this);
    return result;
}

void TFbBaseQuery::CheckDatabase() const {
    if (m_database == nullptr)
        RaiseClientError(ceDatabaseNotAssigned, FullName());
    m_database->CheckConnected();
}

void TFbBaseQuery::CheckTransactionAssigned() const {
    if (m_transaction == nullptr)
        RaiseClientError(ceTransactionNotAssigned, FullName());
}

void TFbBaseQuery::Prepare() {
    if (m_isOpen)
        Close();
    CheckDatabase();
    if (HasOption(qoStartTransaction) && m_transaction != nullptr && !m_transaction->Active())
        m_transaction->StartTransaction();
    CheckTransactionAssigned();
    m_transaction->CheckInTransaction();
    if (m_hasParameters && !m_isPrepared)
        ClassifyText();
    if (m_isPrepared)
        return;
    if (IsBlank(m_processedSql))
        RaiseClientError(ceEmptyQuery, "Prepare");
    try {
        PrepareOnServer();
    } catch (...) {
        try {
            FreeStatement();
        } catch (const std::exception&) {
            // the prepare's own error is the one to report
        }
        throw;
    }
    m_isPrepared = true;
}

void TFbBaseQuery::PrepareOnServer() {
    IFbClientLibrary& library = Library();
    ISC_STATUS* status = ThreadStatusVector();
    CheckStatus(library.isc_dsql_alloc_statement2(status, &m_database->Handle(), &m_statementHandle));
    m_output.SetCount(1);
    CheckStatus(library.isc_dsql_prepare(status, &m_transaction->Handle(), &m_statementHandle, 0,
                                         m_processedSql.c_str(), Dialect(), m_output.AsXSQLDA()));
    ReadStatementType();
    if (m_statementType == SQLSelectForUpdate)
        SetRandomCursorName();
    switch (m_statementType) {
    case SQLSelect:
    case SQLSelectForUpdate:
    case SQLExecProcedure:
        DescribeParameters();
        DescribeColumns();
        break;
    case SQLInsert:
    case SQLUpdate:
    case SQLDelete:
        DescribeParameters();
        m_output.SetCount(0);
        break;
    case SQLGetSegment:
    case SQLPutSegment:
    case SQLStartTransaction:
        FreeStatement();
        RaiseClientError(ceNotPermitted);
    case SQLUnknown:
    case SQLDDL:
    case SQLCommit:
    case SQLRollback:
    case SQLSetGenerator:
    case SQLSavePointOperation:
        break;
    }
}

void TFbBaseQuery::ReadStatementType() {
    const char items[] = {isc_info_sql_stmt_type};
    char answer[8] = {};
    CheckStatus(Library().isc_dsql_sql_info(ThreadStatusVector(), &m_statementHandle, sizeof items, items,
                                            sizeof answer, answer));
    if (answer[0] != isc_info_sql_stmt_type)
        RaiseClientError(ceUnknownError);
    const int length = std::clamp(VaxInteger(answer + 1, 2), 0, 4);
    m_statementType = static_cast<TFbSQLTypes>(VaxInteger(answer + 3, length));
}

void TFbBaseQuery::SetRandomCursorName() {
    if (m_cursorName.empty()) {
        static std::mt19937 generator{std::random_device{}()};
        std::uniform_int_distribution<int32_t> number(0, 2147483646);
        while (m_cursorName.size() < 10)
            m_cursorName += std::to_string(number(generator));
        m_cursorName.resize(10);
    }
    CheckStatus(Library().isc_dsql_set_cursor_name(ThreadStatusVector(), &m_statementHandle, m_cursorName.c_str(), 0));
}

void TFbBaseQuery::DescribeParameters() {
    if (!m_hasParameters)
        return;
    IFbClientLibrary& library = Library();
    m_input.SetCount(std::max<int>(static_cast<int>(m_parameterNames.size()), 1));
    CheckStatus(library.isc_dsql_describe_bind(ThreadStatusVector(), &m_statementHandle, SQLDA_VERSION1,
                                               m_input.AsXSQLDA()));
    const int reported = m_input.ReportedCount();
    if (reported > m_input.Count()) {
        m_input.SetCount(reported);
        CheckStatus(library.isc_dsql_describe_bind(ThreadStatusVector(), &m_statementHandle, SQLDA_VERSION1,
                                                   m_input.AsXSQLDA()));
    } else {
        m_input.SetCount(reported);
    }
    for (int i = 0; i < m_input.Count(); ++i)
        m_input[i].BindNull();
}

void TFbBaseQuery::DescribeColumns() {
    const int reported = m_output.ReportedCount();
    if (reported > m_output.Count()) {
        m_output.SetCount(reported);
        CheckStatus(Library().isc_dsql_describe(ThreadStatusVector(), &m_statementHandle, SQLDA_VERSION1,
                                                m_output.AsXSQLDA()));
    } else if (reported == 0) {
        m_output.SetCount(0);
    }
    m_output.AllocateColumnBuffers();
}

void TFbBaseQuery::BeforeExecuteSteps() {
    if (BeforeExecute)
        BeforeExecute(*this);
    CheckTransactionAssigned();
    m_output.SetAllNull();
    if (HasOption(qoStartTransaction) && !m_transaction->Active())
        m_transaction->StartTransaction();
    m_transaction->NotifySQLExecute(*this, false);
}

void TFbBaseQuery::AfterExecuteSteps() {
    if (AfterExecute)
        AfterExecute(*this);
    m_transaction->NotifySQLExecute(*this, true);
    if (!HasOption(qoAutoCommit))
        return;
    if (m_transaction->TimeoutAction() == TACommitRetaining)
        m_transaction->CommitRetaining();
    else
        m_transaction->Commit();
}

void TFbBaseQuery::ExecQuery() {
    if (m_isDdl) {
        ExecuteImmediate();
        return;
    }
    BeforeExecuteSteps();
    if ((m_paramCheck && m_hasParameters) || !m_isPrepared)
        Prepare();
    ExecuteByType();
    AfterExecuteSteps();
    if (!m_isOpen && HasOption(qoFreeHandleAfterExecute))
        FreeStatement();
}

void TFbBaseQuery::ExecuteByType() {
    IFbClientLibrary& library = Library();
    ISC_STATUS* status = ThreadStatusVector();
    switch (m_statementType) {
    case SQLSelect:
    case SQLSelectForUpdate:
        OpenCursor();
        return;
    case SQLExecProcedure:
        CheckStatus(library.isc_dsql_execute2(status, &m_transaction->Handle(), &m_statementHandle, Dialect(),
                                              m_input.AsXSQLDA(), m_output.AsXSQLDA()));
        return;
    case SQLCommit:
        m_transaction->Commit();
        return;
    case SQLRollback:
        m_transaction->Rollback();
        return;
    case SQLUnknown:
    case SQLInsert:
    case SQLUpdate:
    case SQLDelete:
    case SQLDDL:
    case SQLGetSegment:
    case SQLPutSegment:
    case SQLStartTransaction:
    case SQLSetGenerator:
    case SQLSavePointOperation:
        break;
    }
    // The rest, and a type code the server has and this layer has no name for, simply execute.
    CheckStatus(library.isc_dsql_execute(status, &m_transaction->Handle(), &m_statementHandle, Dialect(),
                                         m_input.AsXSQLDA()));
}

void TFbBaseQuery::OpenCursor() {
    m_reopened = m_isOpen;
    if (m_isOpen)
        Close();
    ISC_STATUS* status = ThreadStatusVector();
    const ISC_STATUS result = Library().isc_dsql_execute(status, &m_transaction->Handle(), &m_statementHandle,
                                                         Dialect(), m_input.AsXSQLDA());
    if (result > 0)
        TakeTheReasonACloseFailed(status);
    CheckStatus(result);
    m_isOpen = true;
    m_beforeFirstRow = true;
    m_endOfCursor = false;
    m_fetchedRows = 0;
    m_output.SetAllNull();
    if (m_goToFirstRecordOnExecute)
        FetchNext();
}

// The client sends the close of the previous cursor, and the execution after it, along with the next request,
// and drops the close's answer: the server's "cursor is already open" (met by the execution or by the first
// fetch) means that the close failed. A request that is answered at once (an item of the attachment's info)
// meets the same reason, a shutdown for one: that is the error to report, so that the row tells the truth and
// the error handler treats it as what it is.
void TFbBaseQuery::TakeTheReasonACloseFailed(ISC_STATUS* status) {
    if (!m_reopened || !StatusHoldsCode(status, kCursorAlreadyOpen))
        return;
    std::array<ISC_STATUS, kStatusVectorLength> probe{};
    const char item = isc_info_attachment_id;
    std::array<char, 16> answer{};
    if (Library().isc_database_info(probe.data(), &m_database->Handle(), 1, &item, static_cast<short>(answer.size()),
                                    answer.data()) == 0)
        return;
    std::copy(probe.begin(), probe.end(), status);
}

void TFbBaseQuery::ExecuteImmediate() {
    CheckDatabase();
    BeforeExecuteSteps();
    FreeStatement();
    CheckStatus(Library().isc_dsql_execute_immediate(ThreadStatusVector(), &m_database->Handle(),
                                                     &m_transaction->Handle(), 0, m_processedSql.c_str(),
                                                     Dialect(), m_input.AsXSQLDA()));
    AfterExecuteSteps();
}

void TFbBaseQuery::ClearCursorFlags() {
    m_isOpen = false;
    m_beforeFirstRow = false;
    m_endOfCursor = false;
}

void TFbBaseQuery::Close() {
    if (m_statementHandle == 0 || !m_isOpen || !IsSelectType(m_statementType)) {
        ClearCursorFlags();
        return;
    }
    ClearCursorFlags();
    ISC_STATUS* status = ThreadStatusVector();
    const ISC_STATUS result =
        CheckStatus(Library().isc_dsql_free_statement(status, &m_statementHandle, DSQL_close), false);
    if (result > 0 && !StatusHoldsCode(status, kInvalidStatementHandle) &&
        !StatusHoldsCode(status, kCursorAlreadyClosed))
        RaiseServerError(Library(), this);
}

void TFbBaseQuery::FetchNext() {
    if (m_endOfCursor)
        return;
    if (!m_isOpen)
        RaiseClientError(ceDatasetClosed, "fetch next record", FullName());
    ISC_STATUS* status = ThreadStatusVector();
    const ISC_STATUS result = CheckStatus(
        Library().isc_dsql_fetch(status, &m_statementHandle, Dialect(), m_output.AsXSQLDA()), false);
    if (result == 0) {
        ++m_fetchedRows;
        m_beforeFirstRow = false;
    } else if (result == 100 || StatusHoldsCode(status, kInvalidCursorReference)) {
        m_endOfCursor = true;
    } else {
        if (m_beforeFirstRow)
            TakeTheReasonACloseFailed(status);
        try {
            RaiseServerError(Library(), this);
        } catch (...) {
            try {
                Close();
            } catch (const std::exception&) {
                // the fetch's error is the one to report
            }
            throw;
        }
    }
}

void TFbBaseQuery::FreeStatement() {
    m_output.SetCount(0);
    if (m_statementHandle == 0) {
        ForgetStatement();
        return;
    }
    ISC_STATUS* status = ThreadStatusVector();
    const ISC_STATUS result =
        CheckStatus(Library().isc_dsql_free_statement(status, &m_statementHandle, DSQL_drop), false);
    const bool failed = result > 0 && status[1] != kInvalidStatementHandle;
    ForgetStatement();
    if (failed)
        RaiseServerError(Library(), this);
}

void TFbBaseQuery::ForgetStatement() {
    ClearCursorFlags();
    m_isPrepared = false;
    m_statementHandle = 0;
}

TDateTime TFbBaseQuery::ColumnAsDateTime(int index) const {
    if (index < 0 || index >= m_output.Count())
        RaiseClientError(ceFieldNotFound, "Field No: " + std::to_string(index));
    const TFbXSQLVAR& column = m_output[index];
    if (column.IsNull())
        return 0;
    const char* data = column.Data();
    switch (column.SqlType()) {
    case SQL_TIMESTAMP: {
        const auto* stamp = reinterpret_cast<const ISC_TIMESTAMP*>(data);
        return stamp->timestamp_date - kDaysFrom1858To1899 + (stamp->timestamp_time / 10) / kMillisecondsPerDay;
    }
    case SQL_TYPE_DATE:
        return *reinterpret_cast<const ISC_DATE*>(data) - kDaysFrom1858To1899;
    case SQL_TYPE_TIME:
        return *reinterpret_cast<const ISC_TIME*>(data) / kTimeUnitsPerDay;
    case SQL_TEXT:
    case SQL_VARYING: {
        const bool varying = column.SqlType() == SQL_VARYING;
        const size_t length = varying ? *reinterpret_cast<const unsigned short*>(data)
                                      : static_cast<size_t>(column.Var().sqllen);
        const std::string text(data + (varying ? 2 : 0), length);
        const QDate date = QLocale().toDate(QString::fromLatin1(text.c_str()).trimmed(), QLocale::ShortFormat);
        if (!date.isValid())
            throw EConvertError::InvalidDateTime(text);
        return EncodeDate(date.year(), date.month(), date.day());
    }
    default:
        RaiseClientError(ceInvalidDataConversion);
    }
}

void TFbBaseQuery::DatabaseDetaching(TFbBaseDatabase&) { FreeStatement(); }

void TFbBaseQuery::DatabaseLost(TFbBaseDatabase&) {
    m_output.SetCount(0);
    ForgetStatement();
}

void TFbBaseQuery::DatabaseFreeing(TFbBaseDatabase& database) {
    DatabaseLost(database);
    m_database = nullptr;
}

void TFbBaseQuery::TransactionEnding(TFbBaseTransaction&, TTransactionAction action) {
    if (action == TACommit || action == TARollback)
        Close();
}

void TFbBaseQuery::TransactionFreeing(TFbBaseTransaction&) {
    ClearCursorFlags();
    m_transaction = nullptr;
}

void TFbQuery::ExecQuery() {
    for (;;) {
        try {
            TFbBaseQuery::ExecQuery();
            return;
        } catch (EFbError& error) {
            if (!OnExecuteError)
                throw;
            TDataAction action = daFail;
            OnExecuteError(*this, error, action);
            if (action == daFail)
                throw;
            if (action == daAbort)
                throw EAbort();
        }
    }
}
