#pragma once

#include "log/field.h"

// The Time field: a TDateTime kept to the millisecond.
class TDateTimeField : public TField {
public:
    TDateTimeField(TMemTable& table, int index, std::string name, std::string fieldName);

    // 0 when null.
    TDateTime AsDateTime() const;
    void SetAsDateTime(TDateTime value) { SetValue(value); }
};
