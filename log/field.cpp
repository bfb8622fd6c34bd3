#include "log/field.h"

#include "log/log_columns.h"
#include "log/mem_table.h"

TField::TField(TMemTable& table, const TLogColumnInfo& column)
    : TComponent(table.Owner(), std::string(column.componentName)), m_table(table), m_index(column.column),
      m_fieldName(column.fieldName), m_type(column.type), m_size(column.size),
      m_displayWidth(column.displayWidth) {}

bool TField::IsNull() const { return std::holds_alternative<std::monostate>(Value()); }

TFieldValue TField::Value() const { return m_table.FieldValue(m_index); }

void TField::SetValue(const TFieldValue& value) { m_table.SetFieldValue(m_index, value); }

std::string TField::DisplayText() const {
    const int row = m_table.CurrentRow();
    return row < 0 ? std::string() : m_table.RowDisplayText(row, m_index);
}
