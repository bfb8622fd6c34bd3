#include "log/date_time_field.h"

TDateTime TDateTimeField::AsDateTime() const {
    const TFieldValue value = Value();
    return std::holds_alternative<TDateTime>(value) ? std::get<TDateTime>(value) : 0;
}
