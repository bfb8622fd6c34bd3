#include "db/errors.h"

#include "core/component.h"
#include "core/text_codec.h"
#include "db/client_library.h"
#include "db/client_messages.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace {

constexpr short kSqlCodeTextBufferLength = 512;
constexpr size_t kEngineLineBufferLength = 20480;

std::mutex& MessagePartsLock() {
    static std::mutex lock;
    return lock;
}
TFbErrorMessageParts g_errorMessageParts = kAllErrorMessageParts;

std::mutex& HandlerLock() {
    static std::mutex lock;
    return lock;
}
TFbServerErrorHandler& RegisteredHandler() {
    static TFbServerErrorHandler handler;
    return handler;
}

// Only the 26 ASCII letters: the texts are 8-bit and a Cyrillic first letter stays as it is.
void UpperFirstAsciiLetter(std::string& text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
}

void EndWithFullStop(std::string& text) {
    if (text.empty() || text.back() != '.')
        text += '.';
}

std::string RemoveBackslashN(std::string text) {
    for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at))
        text.erase(at, 2);
    return text;
}

std::string SqlCodeText(IFbClientLibrary& library, int32_t sqlCode) {
    char buffer[kSqlCodeTextBufferLength] = {};
    library.isc_sql_interprete(static_cast<short>(sqlCode), buffer, kSqlCodeTextBufferLength);
    std::string text = RemoveBackslashN(std::string(buffer, strnlen(buffer, sizeof buffer)));
    if (text.empty())
        return text;
    UpperFirstAsciiLetter(text);
    EndWithFullStop(text);
    return text + "\r\n";
}

// The lines as isc_interprete gives them, each with the code it told.
std::vector<std::pair<int32_t, std::string>> EngineLines(IFbClientLibrary& library, ISC_STATUS* statusVector) {
    std::vector<char> buffer(kEngineLineBufferLength);
    std::vector<std::pair<int32_t, std::string>> lines;
    ISC_STATUS* position = statusVector;
    for (;;) {
        const int32_t code = position[0] == isc_arg_gds ? static_cast<int32_t>(position[1]) : 0;
        if (library.isc_interprete(buffer.data(), &position) <= 0)
            break;
        std::string line(buffer.data(), strnlen(buffer.data(), buffer.size()));
        if (line.empty())
            continue;
        UpperFirstAsciiLetter(line);
        EndWithFullStop(line);
        lines.emplace_back(code, std::move(line));
    }
    return lines;
}

std::vector<int32_t> EngineCodes(const ISC_STATUS* statusVector) {
    std::vector<int32_t> codes;
    for (const ISC_STATUS* item = statusVector; *item != isc_arg_end;) {
        const ISC_STATUS kind = item[0];
        if (kind == isc_arg_gds)
            codes.push_back(static_cast<int32_t>(item[1]));
        // A counted string takes its length and its address; every other item one value.
        item += kind == isc_arg_cstring ? 3 : 2;
    }
    return codes;
}

} // namespace

EFbError::EFbError(TFields fields) : EDatabaseError(std::string()), m_fields(std::move(fields)) {
    ComposeMessage();
}

void EFbError::SetUnanswered(std::string text) {
    m_fields.unanswered = true;
    m_fields.extraText = std::move(text);
    ComposeMessage();
}

void EFbError::ComposeMessage() {
    if (m_fields.engineTextUtf8.empty())
        SetMessage(ComposedMessage(false));
    else
        SetMessageFromUtf8(ComposedMessage(true));
}

std::string EFbError::ComposedMessage(bool inUtf8) const {
    const auto part = [inUtf8](const std::string& text) { return inUtf8 ? FromCp1251(text).toStdString() : text; };
    const TFbErrorMessageParts parts = g_errorMessageParts;
    std::string message;
    if ((parts & empSenderName) && m_fields.senderName.size() > 1)
        message += part(m_fields.senderName) + ":\r\n";
    if (parts & empSqlCodeText)
        message += part(m_fields.sqlCodeText);
    if (parts & empEngineText)
        message += inUtf8 ? m_fields.engineTextUtf8 : m_fields.engineText;
    message += part(m_fields.extraText);
    message += part(m_fields.clientText);
    return message;
}

TFbErrorMessageParts ErrorMessageParts() {
    std::lock_guard guard(MessagePartsLock());
    return g_errorMessageParts;
}

void SetErrorMessageParts(TFbErrorMessageParts parts) {
    std::lock_guard guard(MessagePartsLock());
    g_errorMessageParts = parts;
}

void RegisterServerErrorHandler(TFbServerErrorHandler handler) {
    std::lock_guard guard(HandlerLock());
    RegisteredHandler() = std::move(handler);
}

void UnregisterServerErrorHandler() {
    std::lock_guard guard(HandlerLock());
    RegisteredHandler() = nullptr;
}

bool ServerErrorHandlerRegistered() {
    std::lock_guard guard(HandlerLock());
    return static_cast<bool>(RegisteredHandler());
}

void RaiseServerError(IFbClientLibrary& library, TComponent* sender) {
    EFbServerError error = ServerError(library, ThreadStatusVector(), sender);
    RaiseBuiltServerError(error, sender);
}

EFbServerError ServerError(IFbClientLibrary& library, ISC_STATUS* statusVector, TComponent* sender) {
    const TFbErrorMessageParts parts = ErrorMessageParts();
    EFbError::TFields fields;
    fields.sqlErrorCode = library.isc_sqlcode(statusVector);
    if (parts & empSqlCodeText)
        fields.sqlCodeText = SqlCodeText(library, fields.sqlErrorCode);
    fields.engineLines = EngineLines(library, statusVector);
    std::string engineText;
    for (const auto& [code, line] : fields.engineLines)
        engineText += line + "\r\n";
    // Database names go to the server in UTF-8, and its texts quote them so.
    if (FromUtf8BeyondAscii(engineText)) {
        for (auto& [code, line] : fields.engineLines)
            if (std::optional<QString> text = FromUtf8BeyondAscii(line))
                line = ToCp1251(*text);
        if (parts & empEngineText)
            fields.engineTextUtf8 = engineText;
        engineText = ToCp1251(*FromUtf8BeyondAscii(engineText));
    }
    if (parts & empEngineText)
        fields.engineText = std::move(engineText);
    fields.engineCodes = EngineCodes(statusVector);
    fields.engineErrorCode = static_cast<int32_t>(statusVector[1]);
    if (sender != nullptr)
        fields.senderName = sender->FullName();
    fields.sender = sender;
    return EFbServerError(std::move(fields));
}

void RaiseBuiltServerError(EFbServerError& error, TComponent* sender) {
    bool doRaise = true;
    TFbServerErrorHandler handler;
    {
        std::lock_guard guard(HandlerLock());
        handler = RegisteredHandler();
    }
    if (handler)
        handler(sender, error, doRaise);
    if (doRaise)
        throw error;
}

void RaiseClientErrorText(TFbClientErrorCode code, std::string text) {
    EFbError::TFields fields;
    fields.sqlErrorCode = code;
    fields.engineErrorCode = static_cast<int32_t>(ThreadStatusVector()[1]);
    fields.clientText = std::move(text);
    throw EFbClientError(std::move(fields));
}
