#pragma once

#include <cstdint>
#include <string>

// Text to a signed 32-bit integer as the platform reads numbers: leading blanks, an optional sign, decimal
// digits or hexadecimal after "$" or "0x"; nothing may follow. Out of range does not convert.
bool TryStrToInt(const std::string& text, int32_t& value);
// Throws EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(const std::string& text);
std::string IntToStr(int64_t value);
