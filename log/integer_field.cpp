#include "log/integer_field.h"

TIntegerField::TIntegerField(TMemTable& table, int index, std::string name, std::string fieldName)
    : TField(table, index, std::move(name), std::move(fieldName), ftInteger, 0, 10) {}

int32_t TIntegerField::AsInteger() const {
    const TFieldValue value = Value();
    return std::holds_alternative<int32_t>(value) ? std::get<int32_t>(value) : 0;
}
