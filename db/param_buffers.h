#pragma once

#include <string>
#include <vector>

// The parameter buffers handed to the client library, built from the text lines the user edits.
// Both trim every line in place (the trimmed text is what the list shows afterwards) and return the buffer's
// bytes; its length is the size of the string. On an error the lines trimmed so far stay trimmed and nothing is
// returned, so the caller keeps its "rebuild" mark.

// "name=value" lines of a connection to a database parameter buffer. Raises ceDpbConstantUnknown for an unknown
// name, ceDpbConstantUnsupported for a known name that is not supported, and EConvertError for a non-integer
// value where a number is read.
std::string BuildDatabaseParamBuffer(std::vector<std::string>& lines);

// "name" (or "lock_read=TABLE") lines of a transaction to a transaction parameter buffer; no lines give an empty
// buffer. Raises ceTpbConstantUnknown for an unknown name and ceTpbConstantUnsupported for a name that is not
// supported.
std::string BuildTransactionParamBuffer(std::vector<std::string>& lines);
