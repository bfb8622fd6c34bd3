#include "core/exceptions.h"

#include "core/text_codec.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

Exception Exception::FromUtf8(const std::string& utf8Message) {
    Exception error{std::string()};
    error.SetMessageFromUtf8(utf8Message);
    return error;
}

void Exception::SetMessageFromUtf8(const std::string& utf8Message) {
    const QString text = QString::fromStdString(utf8Message);
    if (std::optional<std::string> bytes = ToCp1251Exactly(text)) {
        SetMessage(std::move(*bytes));
        return;
    }
    SetMessage(ToCp1251(text));
    m_utf8Message = utf8Message;
}

std::string Exception::Utf8Text() const {
    return m_utf8Message.empty() ? FromCp1251(m_message).toStdString() : m_utf8Message;
}

EConvertError EConvertError::InvalidInteger(const std::string& text) {
    return EConvertError("'" + text + "' is not a valid integer value");
}

EConvertError EConvertError::InvalidFloat(const std::string& text) {
    return EConvertError("'" + text + "' is not a valid floating point value");
}

EConvertError EConvertError::InvalidDateTime(const std::string& text) {
    return EConvertError("'" + text + "' is not a valid date and time");
}

namespace {
std::string OsErrorText(int errorCode, const std::string& systemText) {
    if (errorCode == 0)
        return "A call to an OS function failed";
    return FormatText("System Error.  Code: %d.\r\n%s", errorCode, systemText.c_str());
}
} // namespace

EOSError::EOSError(int errorCode, const std::string& systemText)
    : Exception(OsErrorText(errorCode, systemText)), m_errorCode(errorCode) {}

std::string FormatText(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, measure);
    va_end(measure);
    std::string result;
    if (length > 0) {
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), pattern, args);
        result.assign(buffer.data(), static_cast<size_t>(length));
    }
    va_end(args);
    return result;
}
