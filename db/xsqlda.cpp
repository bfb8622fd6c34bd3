#include "db/xsqlda.h"

#include "db/errors.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace {

// Bytes of the data buffer for an SQL type without the nullable bit; -1 for a column the layer cannot hold.
// A type the layer does not know (BOOLEAN, and what newer servers send: INT128, DECFLOAT, times with a time
// zone) is held as the bytes of its declared length: the tester only times the statement, so the server's
// answer must not fail because of a column it never reads.
int DataLength(int sqlType, int sqlLength) {
    switch (sqlType) {
    case SQL_VARYING:
        return sqlLength + 2;
    case SQL_TEXT:
        return std::max(sqlLength, 1);
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_LONG:
    case SQL_SHORT:
    case SQL_TIMESTAMP:
    case SQL_BLOB:
    case SQL_D_FLOAT:
    case SQL_ARRAY:
    case SQL_QUAD:
    case SQL_TYPE_TIME:
    case SQL_TYPE_DATE:
    case SQL_INT64:
    case 590:
        return sqlLength;
    default:
        return sqlLength > 0 ? sqlLength : -1;
    }
}

} // namespace

XSQLVAR& TFbXSQLVAR::Var() const { return m_owner.Header().sqlvar[m_index]; }

void TFbXSQLVAR::AllocateBuffer() {
    XSQLVAR& var = Var();
    const int length = DataLength(SqlType(), var.sqllen);
    if (length < 0)
        RaiseClientError(ceUnknownSqlDataType, SqlType());
    m_data.assign(static_cast<size_t>(std::max(length, 1)), 0);
    var.sqldata = m_data.data();
    var.sqlind = IsNullable() ? &m_nullIndicator : nullptr;
}

void TFbXSQLVAR::BindNull() {
    XSQLVAR& var = Var();
    var.sqltype = static_cast<ISC_SHORT>(var.sqltype | 1);
    m_data.assign(static_cast<size_t>(std::max<int>(var.sqllen, 0) + 2), 0);
    var.sqldata = m_data.data();
    m_nullIndicator = -1;
    var.sqlind = &m_nullIndicator;
}

void TFbXSQLDA::SetCount(int count) {
    count = std::max(count, 0);
    const size_t needed = count == 0 ? 0 : XSQLDA_LENGTH(static_cast<size_t>(count));
    if (needed > m_memory.size()) {
        // The entries' XSQLVARs move with the block; their own buffers stay where they are.
        m_memory.resize(needed, 0);
    }
    while (m_vars.size() < static_cast<size_t>(count))
        m_vars.push_back(std::make_unique<TFbXSQLVAR>(*this, static_cast<int>(m_vars.size())));
    m_count = count;
    for (const auto& var : m_vars)
        var->SetName({});
    if (count == 0)
        return;
    XSQLDA& header = Header();
    header.version = SQLDA_VERSION1;
    header.sqln = static_cast<ISC_SHORT>(count);
    header.sqld = static_cast<ISC_SHORT>(count);
}

void TFbXSQLDA::AllocateColumnBuffers() {
    for (int i = 0; i < m_count; ++i)
        (*this)[i].AllocateBuffer();
    AssignNames();
}

void TFbXSQLDA::SetAllNull() {
    for (int i = 0; i < m_count; ++i)
        (*this)[i].SetNull();
}

void TFbXSQLDA::AssignNames() {
    std::set<std::string> used;
    for (int i = 0; i < m_count; ++i) {
        const XSQLVAR& var = (*this)[i].Var();
        const std::string alias(var.aliasname, static_cast<size_t>(std::clamp<int>(var.aliasname_length, 0, 32)));
        std::string name = alias.empty() ? "F_" + std::to_string(i + 1) : alias;
        for (int suffix = 1; used.count(name) != 0; ++suffix)
            name = (alias.empty() ? "F_" + std::to_string(i + 1) : alias) + std::to_string(suffix);
        used.insert(name);
        (*this)[i].SetName(name);
    }
}
