#include "log/log_columns.h"

#include "core/exceptions.h"

void ThrowFieldIndexOutOfRange(int fieldIndex) {
    throw Exception(FormatText("Field index out of range: %d", fieldIndex));
}
