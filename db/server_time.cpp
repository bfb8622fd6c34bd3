#include "db/server_time.h"

#include "db/database.h"
#include "db/query.h"
#include "db/transaction.h"

namespace {

// Firebird 4 and later keep a session time zone (the server's DefaultTimeZone unless the client sets one), which
// need not be ours: they tell their UTC time, the session's local time less the session zone's offset (a plain
// TIMESTAMP, so the legacy binding changes nothing). Firebird 3 knows no zones: its local time is compared with ours.
const char* ServerTimeSql(TFbBaseDatabase& database) {
    if (database.AttachmentInfo().serverMajor >= 4)
        return "SELECT DATEADD(-(EXTRACT(TIMEZONE_HOUR FROM CURRENT_TIMESTAMP) * 60 + "
               "EXTRACT(TIMEZONE_MINUTE FROM CURRENT_TIMESTAMP)) MINUTE TO LOCALTIMESTAMP) from RDB$DATABASE";
    // In dialect 1 a DATE carries the date and the time.
    return database.SQLDialect() >= 2 ? "SELECT CAST('NOW' AS TIMESTAMP) from RDB$DATABASE"
                                      : "SELECT CAST('NOW' AS DATE) from RDB$DATABASE";
}

} // namespace

TDateTime ReadServerTime(TFbBaseDatabase& database) {
    const bool utc = database.AttachmentInfo().serverMajor >= 4;
    TFbBaseTransaction& transaction = database.InternalTransaction();
    // Owned by the connection by name only, so that its errors name the connection.
    TFbBaseQuery query(&database);
    query.SetDatabase(&database);
    query.SetTransaction(&transaction);
    query.SetSQL({ServerTimeSql(database)});
    TDateTime serverTime = 0;
    try {
        if (!transaction.Active())
            transaction.StartTransaction();
        query.ExecQuery();
        serverTime = query.ColumnAsDateTime(0);
    } catch (...) {
        if (transaction.Active()) {
            try {
                transaction.Rollback();
            } catch (const std::exception&) {
                // the query's error is the one to report
            }
        }
        throw;
    }
    if (transaction.Active())
        transaction.Commit();
    // In our zone, so that the difference to our clock is the clocks' own.
    return utc ? serverTime + LocalUtcOffset() : serverTime;
}
