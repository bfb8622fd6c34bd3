#pragma once

#include "core/component.h"
#include "core/date_time.h"

#include <cstdint>
#include <string>
#include <variant>

class TMemTable;
struct TLogColumnInfo;

enum TFieldType { ftDateTime, ftInteger, ftString };

// A field's value; std::monostate when the field is null.
using TFieldValue = std::variant<std::monostate, TDateTime, int32_t, std::string>;

// One column of the log table, as its description says. Reads and assignments go to the table's current
// record.
class TField : public TComponent {
public:
    TField(TMemTable& table, const TLogColumnInfo& column);

    TMemTable& DataSet() const { return m_table; }
    int Index() const { return m_index; }
    const std::string& FieldName() const { return m_fieldName; }
    // No field has a display label, so its display name is its field name.
    const std::string& DisplayName() const { return m_fieldName; }
    TFieldType DataType() const { return m_type; }
    int Size() const { return m_size; }
    // Characters a view gives the column by default.
    int DisplayWidth() const { return m_displayWidth; }

    bool IsNull() const;
    TFieldValue Value() const;
    // Only while the table inserts or edits; otherwise "Dataset is not in edit mode.".
    void SetValue(const TFieldValue& value);
    std::string DisplayText() const;

private:
    TMemTable& m_table;
    int m_index;
    std::string m_fieldName;
    TFieldType m_type;
    int m_size;
    int m_displayWidth;
};
