#include "db/watched_client_library.h"

#include "db/client_calls_in_flight.h"

#include <string_view>
#include <utility>

namespace {

// The calls that wait for the server on an existing attachment. The attach itself has no attachment to
// cancel yet, and the rest work locally.
constexpr bool WaitsForServer(std::string_view name) {
    for (std::string_view watched :
         {"isc_commit_retaining",    "isc_commit_transaction",     "isc_database_info",
          "isc_detach_database",     "isc_dsql_alloc_statement2",  "isc_dsql_describe",
          "isc_dsql_describe_bind",  "isc_dsql_exec_immed2",       "isc_dsql_execute",
          "isc_dsql_execute2",       "isc_dsql_execute_immediate", "isc_dsql_fetch",
          "isc_dsql_free_statement", "isc_dsql_prepare",           "isc_dsql_set_cursor_name",
          "isc_dsql_sql_info",       "isc_rollback_retaining",     "isc_rollback_transaction",
          "isc_start_multiple",      "isc_transaction_info"})
        if (name == watched)
            return true;
    return false;
}

} // namespace

TFbWatchedClientLibrary::TFbWatchedClientLibrary(IFbClientLibrary& library, uint32_t timeoutMs,
                                                 std::function<isc_db_handle()> attachment)
    : m_library(library), m_attachment(std::move(attachment)),
      m_watchdog(timeoutMs, [&library](isc_db_handle handle, TFbCallCancel step) {
          // fb_cancel_raise asks the server to stop the statement: a live one answers the blocked call with
          // its own error. fb_cancel_abort closes the client's side of the link, for a server or a link that
          // does not answer even that: the blocked call returns at once with a network read error.
          const ISC_USHORT option = step == TFbCallCancel::Raised ? fb_cancel_raise : fb_cancel_abort;
          try {
              library.fb_cancel_operation(ThreadStatusVector(), &handle, option);
          } catch (...) {
              // Nothing may escape the helper thread; a call it could not break simply goes on.
          }
      }) {
}

TFbCallEnd TFbWatchedClientLibrary::TakeLastCallEnd() {
    return std::exchange(m_lastCallEndTaken, true) ? TFbCallEnd{} : m_lastCallEnd;
}

template <typename Call> auto TFbWatchedClientLibrary::Watched(Call call) {
    struct Disarm {
        TFbWatchedClientLibrary& self;
        ~Disarm() {
            self.m_lastCallEnd = self.m_watchdog.Disarm();
            self.m_lastCallEndTaken = false;
            self.m_callCutShort = self.m_callCutShort || self.m_lastCallEnd.cutShort;
        }
    };
    const TClientCallInFlight inFlight;
    m_watchdog.Arm(m_attachment());
    Disarm disarm{*this};
    return call();
}

#define QV_DEFINE_WATCHED_FUNCTION(result, name, parameters, arguments)                                      \
    result TFbWatchedClientLibrary::name parameters {                                                        \
        if constexpr (WaitsForServer(#name))                                                                 \
            return Watched([&] { return m_library.name arguments; });                                        \
        else                                                                                                 \
            return m_library.name arguments;                                                                 \
    }
QV_CLIENT_FUNCTIONS(QV_DEFINE_WATCHED_FUNCTION)
QV_OPTIONAL_CLIENT_FUNCTIONS(QV_DEFINE_WATCHED_FUNCTION)
#undef QV_DEFINE_WATCHED_FUNCTION
