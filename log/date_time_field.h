#pragma once

#include "log/field.h"

// The Time field: a TDateTime kept to the millisecond.
class TDateTimeField : public TField {
public:
    using TField::TField;

    // 0 when null.
    TDateTime AsDateTime() const;
    void SetAsDateTime(TDateTime value) { SetValue(value); }
};
