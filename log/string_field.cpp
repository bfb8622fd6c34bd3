#include "log/string_field.h"

TStringField::TStringField(TMemTable& table, int index, std::string name, std::string fieldName, int size)
    : TField(table, index, std::move(name), std::move(fieldName), ftString, size, size) {}

std::string TStringField::AsString() const {
    TFieldValue value = Value();
    return std::holds_alternative<std::string>(value) ? std::move(std::get<std::string>(value)) : std::string();
}
