#include "log/date_time_field.h"

TDateTimeField::TDateTimeField(TMemTable& table, int index, std::string name, std::string fieldName)
    : TField(table, index, std::move(name), std::move(fieldName), ftDateTime, 0, 18) {}

TDateTime TDateTimeField::AsDateTime() const {
    const TFieldValue value = Value();
    return std::holds_alternative<TDateTime>(value) ? std::get<TDateTime>(value) : 0;
}
