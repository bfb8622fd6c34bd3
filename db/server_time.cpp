#include "db/server_time.h"

#include "db/database.h"
#include "db/query.h"
#include "db/transaction.h"

TDateTime ReadServerTime(TFbBaseDatabase& database) {
    // In dialect 1 a DATE carries the date and the time.
    const char* sql = database.SQLDialect() >= 2 ? "SELECT CAST('NOW' AS TIMESTAMP) from RDB$DATABASE"
                                                 : "SELECT CAST('NOW' AS DATE) from RDB$DATABASE";
    TFbBaseTransaction& transaction = database.InternalTransaction();
    // Owned by the connection by name only, so that its errors name the connection.
    TFbBaseQuery query(&database);
    query.SetDatabase(&database);
    query.SetTransaction(&transaction);
    query.SetSQL({sql});
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
    return serverTime;
}
