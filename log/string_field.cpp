#include "log/string_field.h"

std::string TStringField::AsString() const {
    TFieldValue value = Value();
    return std::holds_alternative<std::string>(value) ? std::move(std::get<std::string>(value)) : std::string();
}
