#include "log/integer_field.h"

int32_t TIntegerField::AsInteger() const {
    const TFieldValue value = Value();
    return std::holds_alternative<int32_t>(value) ? std::get<int32_t>(value) : 0;
}
