#include "core/convert.h"

#include "core/exceptions.h"

#include <cctype>

bool TryStrToInt(const std::string& text, int32_t& value) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return false;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        int digit;
        if (std::isdigit(c))
            digit = c - '0';
        else if (base == 16 && std::isxdigit(c))
            digit = std::tolower(c) - 'a' + 10;
        else
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > (base == 16 ? 0xFFFFFFFFll : 2147483648ll))
            return false;
    }
    if (base == 16) {
        // Hexadecimal is read as the 32-bit pattern, as the platform does ("$FFFFFFFF" is -1).
        // Negated in unsigned arithmetic: "-$80000000" wraps to itself, as on the platform, without overflow.
        const auto pattern = static_cast<uint32_t>(magnitude);
        value = static_cast<int32_t>(negative ? 0u - pattern : pattern);
        return true;
    }
    if (!negative && magnitude > 2147483647ll)
        return false;
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return true;
}

int32_t StrToInt(const std::string& text) {
    int32_t value = 0;
    if (!TryStrToInt(text, value))
        throw EConvertError::InvalidInteger(text);
    return value;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }
