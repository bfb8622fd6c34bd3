#pragma once

#include <ibase.h>

#include <memory>
#include <string>
#include <vector>

class TFbXSQLDA;

// One entry of a descriptor: the client's XSQLVAR plus the data buffer and null indicator it points at.
class TFbXSQLVAR {
public:
    TFbXSQLVAR(TFbXSQLDA& owner, int index) : m_owner(owner), m_index(index) {}

    XSQLVAR& Var() const;
    int Index() const { return m_index; }
    // The SQL type without the nullable bit.
    int SqlType() const { return Var().sqltype & ~1; }
    bool IsNullable() const { return (Var().sqltype & 1) != 0; }
    bool IsNull() const { return IsNullable() && m_nullIndicator == -1; }
    void SetNull() { m_nullIndicator = -1; }
    const char* Data() const { return m_data.data(); }
    const std::string& Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }

    // Sizes the data buffer for the entry's type and points the XSQLVAR at it and at the null indicator;
    // an unknown type raises ceUnknownSqlDataType.
    void AllocateBuffer();
    // A parameter the system binds as NULL: nullable, indicator -1.
    void BindNull();

private:
    TFbXSQLDA& m_owner;
    int m_index;
    std::vector<char> m_data;
    short m_nullIndicator = 0;
    std::string m_name;
};

// A descriptor: one XSQLDA (version 1) owned with its entries. The allocation grows when needed and never
// shrinks; with no entries there is no XSQLDA to pass.
class TFbXSQLDA {
public:
    TFbXSQLDA() = default;
    TFbXSQLDA(const TFbXSQLDA&) = delete;
    TFbXSQLDA& operator=(const TFbXSQLDA&) = delete;

    int Count() const { return m_count; }
    // Sets sqln and sqld to the count, growing the allocation (zero-filled) when needed; forgets entry names.
    void SetCount(int count);
    // What the server reported for the last describe or prepare.
    int ReportedCount() const { return m_count == 0 ? 0 : Header().sqld; }
    // The XSQLDA to hand to the client, or null when there are no entries.
    XSQLDA* AsXSQLDA() { return m_count == 0 ? nullptr : &Header(); }
    TFbXSQLVAR& operator[](int index) { return *m_vars[static_cast<size_t>(index)]; }
    const TFbXSQLVAR& operator[](int index) const { return *m_vars[static_cast<size_t>(index)]; }
    size_t AllocatedBytes() const { return m_memory.size(); }

    // Buffers for every entry and the entries' names: the alias, "F_<n>" for an unnamed one, a number
    // appended to a duplicate.
    void AllocateColumnBuffers();
    void SetAllNull();

private:
    friend class TFbXSQLVAR;
    XSQLDA& Header() const { return *reinterpret_cast<XSQLDA*>(const_cast<char*>(m_memory.data())); }
    void AssignNames();

    std::vector<char> m_memory;
    std::vector<std::unique_ptr<TFbXSQLVAR>> m_vars;
    int m_count = 0;
};
