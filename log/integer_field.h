#pragma once

#include "log/field.h"

// The Value field: a 32-bit signed integer.
class TIntegerField : public TField {
public:
    using TField::TField;

    // 0 when null.
    int32_t AsInteger() const;
    void SetAsInteger(int32_t value) { SetValue(value); }
};
