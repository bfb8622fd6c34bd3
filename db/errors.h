#pragma once

#include "core/exceptions.h"
#include "db/client_messages.h"

#include <ibase.h>

#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

class IFbClientLibrary;
class TComponent;

// Errors of the database layer.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// Every error raised by the Firebird access layer; Message() is composed from the fields.
class EFbError : public EDatabaseError {
public:
    struct TFields {
        int32_t sqlErrorCode = 0;
        int32_t engineErrorCode = 0;
        std::string senderName;
        std::string sqlCodeText;
        std::string engineText;
        // The engine's lines as the server sent them when that was UTF-8 beyond ASCII (it quotes a database's
        // file name as the file system spells it); engineText then holds them in the code page. Else empty.
        std::string engineTextUtf8;
        std::string extraText;
        std::string clientText;
        TComponent* sender = nullptr;
        // Every code of the status vector in order, and each of the engine's lines (in the code page) with
        // the code it tells (0 for a line of the operating system or a bare text).
        std::vector<int32_t> engineCodes;
        std::vector<std::pair<int32_t, std::string>> engineLines;
        // Nothing answered: a call aborted at its limit, or an attach given up. extraText says how long.
        bool unanswered = false;
    };

    explicit EFbError(TFields fields);

    int32_t SqlErrorCode() const { return m_fields.sqlErrorCode; }
    int32_t EngineErrorCode() const { return m_fields.engineErrorCode; }
    const std::string& SenderName() const { return m_fields.senderName; }
    const std::string& SqlCodeText() const { return m_fields.sqlCodeText; }
    const std::string& EngineText() const { return m_fields.engineText; }
    const std::string& ExtraText() const { return m_fields.extraText; }
    const std::string& ClientText() const { return m_fields.clientText; }
    const std::vector<int32_t>& EngineCodes() const { return m_fields.engineCodes; }
    const std::vector<std::pair<int32_t, std::string>>& EngineLines() const { return m_fields.engineLines; }
    bool Unanswered() const { return m_fields.unanswered; }
    // Not owned; the component may be gone before the error is.
    TComponent* Sender() const { return m_fields.sender; }

    // The call was aborted because nothing answered: text says how long it waited. Composes Message() again.
    void SetUnanswered(std::string text);

private:
    void ComposeMessage();
    // The parts in the code page, or all of them in UTF-8.
    std::string ComposedMessage(bool inUtf8) const;

    TFields m_fields;
};

// A failed client-library call, built from the calling thread's status vector.
class EFbServerError : public EFbError {
public:
    using EFbError::EFbError;
};

// A check inside the access layer; the codes and their messages are in client_messages.h.
class EFbClientError : public EFbError {
public:
    using EFbError::EFbError;
};

// Which parts a server error's message shows. All three from program start.
enum TFbErrorMessagePart : unsigned {
    empSenderName = 1u << 0,
    empSqlCodeText = 1u << 1,
    empEngineText = 1u << 2,
};
using TFbErrorMessageParts = unsigned;
constexpr TFbErrorMessageParts kAllErrorMessageParts = empSenderName | empSqlCodeText | empEngineText;

TFbErrorMessageParts ErrorMessageParts();
void SetErrorMessageParts(TFbErrorMessageParts parts);

// Sees every server error before it is raised: it may clear doRaise (the failed call then counts as handled)
// or throw an error of its own, which then replaces the built one. At most one is registered.
using TFbServerErrorHandler = std::function<void(TComponent* sender, EFbError& error, bool& doRaise)>;
void RegisterServerErrorHandler(TFbServerErrorHandler handler);
void UnregisterServerErrorHandler();
bool ServerErrorHandlerRegistered();

// Turns the calling thread's status vector, as the failed call left it, into an EFbServerError, passes it to
// the registered handler and raises it. Returns normally only when the handler cleared doRaise.
void RaiseServerError(IFbClientLibrary& library, TComponent* sender);
// The two halves of it, for a call made on another thread: the error built from a status vector (any
// thread; it reads only the sender's name), and the built error passed to the handler and raised (on the
// thread of the component that made the call).
EFbServerError ServerError(IFbClientLibrary& library, ISC_STATUS* statusVector, TComponent* sender);
void RaiseBuiltServerError(EFbServerError& error, TComponent* sender);

[[noreturn]] void RaiseClientErrorText(TFbClientErrorCode code, std::string text);

// std::string arguments reach the printf-style formatting as C strings.
inline const char* ClientErrorArgument(const std::string& text) { return text.c_str(); }
template <typename T>
T ClientErrorArgument(T value) {
    static_assert(std::is_arithmetic_v<T> || std::is_same_v<T, const char*> || std::is_same_v<T, char*>,
                  "client error arguments are texts and numbers");
    return value;
}

// Raises EFbClientError with the message of `code` formatted with the arguments (texts for %s, integers for
// %d and %.8x).
template <typename... Arguments>
[[noreturn]] void RaiseClientError(TFbClientErrorCode code, const Arguments&... arguments) {
    // A message without arguments is its own text; no message doubles a "%", so nothing is lost.
    if constexpr (sizeof...(Arguments) == 0)
        RaiseClientErrorText(code, ClientErrorMessage(code));
    else
        RaiseClientErrorText(code, FormatText(ClientErrorMessage(code), ClientErrorArgument(arguments)...));
}
