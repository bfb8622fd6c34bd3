#pragma once

#include <cstdint>
#include <exception>
#include <string>

// The common base of every error the system raises; its text is Message().
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : m_message(std::move(message)) {}
    // For a message that quotes text the code page may lack (a file name as the user chose it), given in
    // UTF-8: Message() holds it in the code page, with "?" for what is missing there, and Utf8Message()
    // keeps it whole for the user to read.
    static Exception FromUtf8(const std::string& utf8Message);

    // In the code page, as every text below the widgets.
    const std::string& Message() const { return m_message; }
    // Empty when Message() says it all.
    const std::string& Utf8Message() const { return m_utf8Message; }
    // The whole text in UTF-8, for whatever leaves the program as UTF-8 (a terminal, a UTF-8 message): the one
    // place that chooses between the two texts, so that code-page bytes never pass for UTF-8.
    std::string Utf8Text() const;
    void SetMessage(std::string message) {
        m_message = std::move(message);
        m_utf8Message.clear();
    }
    const char* what() const noexcept override { return m_message.c_str(); }

protected:
    // Both texts from a message in UTF-8, as FromUtf8 makes them.
    void SetMessageFromUtf8(const std::string& utf8Message);

private:
    std::string m_message;
    std::string m_utf8Message;
};

// The silent error: whoever shows errors shows nothing for it.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
    explicit EAbort(std::string message) : Exception(std::move(message)) {}
};

class EConvertError : public Exception {
public:
    using Exception::Exception;

    static EConvertError InvalidInteger(const std::string& text);
    static EConvertError InvalidFloat(const std::string& text);
    static EConvertError InvalidDateTime(const std::string& text);
};

// A failed call of the operating system: "System Error.  Code: %d.\r\n%s", or
// "A call to an OS function failed" when the system gave no code.
class EOSError : public Exception {
public:
    EOSError(int errorCode, const std::string& systemText);

    int ErrorCode() const { return m_errorCode; }

private:
    int m_errorCode;
};

// printf-style formatting into a std::string (the system's messages are printf patterns).
std::string FormatText(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
