#include "log/field.h"

#include "log/mem_table.h"

TField::TField(TMemTable& table, int index, std::string name, std::string fieldName, TFieldType type, int size,
               int displayWidth)
    : TComponent(table.Owner(), std::move(name)), m_table(table), m_index(index), m_fieldName(std::move(fieldName)),
      m_type(type), m_size(size), m_displayWidth(displayWidth) {}

bool TField::IsNull() const { return std::holds_alternative<std::monostate>(Value()); }

TFieldValue TField::Value() const { return m_table.FieldValue(m_index); }

void TField::SetValue(const TFieldValue& value) { m_table.SetFieldValue(m_index, value); }

std::string TField::DisplayText() const {
    const int row = m_table.CurrentRow();
    return row < 0 ? std::string() : m_table.RowDisplayText(row, m_index);
}
