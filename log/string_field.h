#pragma once

#include "log/field.h"

// The Error field: 8-bit text of at most Size() characters; a longer text is cut, a zero character ends it.
class TStringField : public TField {
public:
    using TField::TField;

    // Empty when null.
    std::string AsString() const;
    void SetAsString(const std::string& value) { SetValue(value); }
};
