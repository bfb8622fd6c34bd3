#include "db/failure.h"

#include "db/errors.h"

#include <ibase.h>

#include <algorithm>
#include <initializer_list>
#include <string_view>

namespace {

// Firebird 4's reasons for a shut-down attachment, which an older client's message file cannot name.
constexpr int32_t kAttachmentKilled = 335545130;
constexpr int32_t kIdleTimeoutExpired = 335545131;
constexpr int32_t kDatabaseShutDown = 335545132;
constexpr int32_t kEngineShutDown = 335545133;

const char* OwnText(int32_t code) {
    switch (code) {
    case kAttachmentKilled:
        return "Killed by database administrator.";
    case kIdleTimeoutExpired:
        return "Idle timeout expired.";
    case kDatabaseShutDown:
        return "Database is shutdown.";
    case kEngineShutDown:
        return "Engine is shutdown.";
    default:
        return nullptr;
    }
}

bool Has(const std::vector<int32_t>& codes, std::initializer_list<int32_t> wanted) {
    return std::any_of(codes.begin(), codes.end(), [&](int32_t code) {
        return std::find(wanted.begin(), wanted.end(), code) != wanted.end();
    });
}

TFailureCause ServerCause(const std::vector<int32_t>& codes) {
    if (Has(codes, {isc_shutdown, isc_att_shutdown, isc_shutinprog, isc_net_server_shutdown, kAttachmentKilled,
                    kIdleTimeoutExpired, kDatabaseShutDown, kEngineShutDown}))
        return TFailureCause::Shutdown;
    const bool network = std::any_of(codes.begin(), codes.end(), [](int32_t code) {
        return (code >= isc_net_connect_err && code <= isc_net_write_err) || code == isc_network_error ||
               code == isc_net_lookup_err || code == isc_net_init_error || code == isc_lost_db_connection ||
               code == isc_conn_lost || code == isc_connect_reject || code == isc_net_event_connect_timeout;
    });
    if (network)
        return TFailureCause::Network;
    if (Has(codes, {isc_login, isc_psw_attach, isc_auth_data}))
        return TFailureCause::Login;
    if (Has(codes, {isc_io_error, isc_io_open_err, isc_io_access_err, isc_bad_db_format, isc_unavailable}))
        return TFailureCause::Database;
    if (Has(codes, {isc_transliteration_failed}))
        return TFailureCause::Client;
    return TFailureCause::Statement;
}

// Lines that only frame the one that says what happened: "Dynamic SQL Error", "SQL error code = -204",
// "Unable to complete network request to host ...", a user exception's number and name (its message
// follows), "Connection shutdown" before Firebird 4's own reason.
bool Framing(int32_t code, int32_t previous) {
    return code == isc_dsql_error || code == isc_sqlerr || code == isc_network_error || code == isc_except ||
           code == isc_except2 || code == isc_att_shutdown ||
           (code == isc_random && (previous == isc_except || previous == isc_except2));
}

std::string FirstLine(std::string_view text) {
    const size_t end = std::min(text.find_first_of("\r\n"), text.size());
    return std::string(text.substr(0, end));
}

// The first line told by a code that does not merely frame another; the first line when all of them frame.
std::string EngineReason(const EFbError& error) {
    const auto& lines = error.EngineLines();
    int32_t previous = 0;
    for (const auto& [code, line] : lines) {
        if (code != 0 && !Framing(code, previous))
            return OwnText(code) != nullptr ? OwnText(code) : line;
        previous = code != 0 ? code : previous;
    }
    for (const auto& [code, line] : lines)
        if (code != 0)
            return OwnText(code) != nullptr ? OwnText(code) : line;
    return lines.empty() ? std::string() : lines.front().second;
}

} // namespace

TFailure FailureOf(const Exception& error) {
    const auto* fbError = dynamic_cast<const EFbError*>(&error);
    if (fbError == nullptr)
        return {TFailureCause::Client, FirstLine(error.Message())};
    if (fbError->Unanswered())
        return {TFailureCause::NoAnswer, FirstLine(fbError->ExtraText())};
    if (dynamic_cast<const EFbClientError*>(fbError) != nullptr) {
        // "Form1.FDB: Cannot perform operation -- DB is not open.": the reason, without the component that
        // heads it (a dotted name without spaces).
        std::string text = FirstLine(fbError->ClientText());
        const size_t colon = text.find(": ");
        if (colon != std::string::npos && text.find_first_of(" \t") > colon &&
            text.substr(0, colon).find('.') != std::string::npos)
            text.erase(0, colon + 2);
        return {TFailureCause::Client, text};
    }
    std::string reason = EngineReason(*fbError);
    if (reason.empty())
        reason = FirstLine(fbError->SqlCodeText());
    return {ServerCause(fbError->EngineCodes()), std::move(reason)};
}
