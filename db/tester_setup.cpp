#include "db/tester_setup.h"

#include "db/fb_database.h"
#include "db/error_handler.h"
#include "db/query.h"
#include "db/transaction.h"

void SetUpTesterComponents(TFbDatabase& FDB, TFbTransaction& TRO, TFbQuery& qry1) {
    FDB.SetDBParams({"lc_ctype=WIN1251"});
    FDB.SetSQLDialect(1);
    FDB.SetTimeout(0);
    FDB.SetWaitForRestoreConnect(kRestoreConnectPeriodMs);
    FDB.SetCallTimeout(kCallTimeoutMs);

    TRO.SetDefaultDatabase(&FDB);
    TRO.SetTimeoutAction(TARollback);
    TRO.SetTRParams({"read", "nowait", "read_committed", "rec_version"});
    TRO.SetTPBMode(tpbDefault);
    FDB.SetDefaultTransaction(&TRO);

    qry1.SetDatabase(&FDB);
    qry1.SetTransaction(&TRO);
    qry1.SetSQL({"select 1 from rdb$database"});
    qry1.SetOptions({qoStartTransaction});
}

void SetUpTesterErrorHandler(TFbErrorHandler& ErrorHandler1) { ErrorHandler1.SetOptions({oeLostConnect}); }
