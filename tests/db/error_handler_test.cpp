#include "db/error_handler.h"

#include "db/errors.h"
#include "db/fb_database.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace {

EFbServerError ServerError(int sqlCode, int engineCode, TComponent* sender) {
    EFbError::TFields fields;
    fields.sqlErrorCode = sqlCode;
    fields.engineErrorCode = engineCode;
    fields.senderName = sender != nullptr ? sender->FullName() : std::string();
    fields.sender = sender;
    return EFbServerError(fields);
}

TEST(ErrorHandler, ClassifiesByBothCodesWithTheLostConnectionListExact) {
    struct Case {
        int sql;
        int engine;
        TKindFbError kind;
    };
    const Case cases[] = {
        {-836, 335544517, keException},
        {-803, 335544349, keUniqueViolation},
        {-803, 335544665, keUniqueViolation},
        {-803, 335544466, keOther},
        {-551, 335544352, keSecurity},
        {-530, 335544466, keForeignKey},
        {-530, 335544665, keOther},
        {-297, 335544558, keCheck},
        // The lost-connection list and its edges.
        {-902, 335544721, keLostConnect},
        {-901, 335544721, keOther}, // network request failed counts only with -902
        {-902, 335544720, keOther},
        {-902, 335544722, keLostConnect},
        {-902, 335544726, keLostConnect},
        {-902, 335544727, keLostConnect},
        {-902, 335544728, keOther},
        {-902, 335544741, keLostConnect},
        {-902, 335544528, keLostConnect},
        {-901, 335544528, keLostConnect},
        {-902, 335544856, keLostConnect}, // connection shutdown: how newer servers report a shut-down database
        {-902, 335544857, keOther},
        {-551, 335544528, keSecurity}, // the SQL code decides first
        {-104, 335544569, keOther},
        {0, 0, keOther},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TFbErrorHandler::Classify(c.sql, c.engine), c.kind) << c.sql << " / " << c.engine;
}

TEST(ErrorHandler, OnlyOneExistsAtATime) {
    auto first = std::make_unique<TFbErrorHandler>(nullptr, "ErrorHandler1");
    try {
        TFbErrorHandler second(nullptr, "ErrorHandler2");
        FAIL() << "a second handler was created";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "Instance of TFbErrorHandler already exists");
    }
    EXPECT_TRUE(ServerErrorHandlerRegistered()) << "the failed second one must not unregister the first";
    first.reset();
    EXPECT_FALSE(ServerErrorHandlerRegistered());
    TFbErrorHandler again(nullptr, "ErrorHandler1");
    EXPECT_TRUE(ServerErrorHandlerRegistered());
}

TEST(ErrorHandler, ReportsTheKindAndLeavesOtherErrorsAlone) {
    TComponent form(nullptr, "Form1");
    TFbDatabase database(&form, "FDB");
    database.SetWaitForRestoreConnect(5000);
    TFbErrorHandler handler(&form, "ErrorHandler1");
    EXPECT_EQ(handler.LastErrorKind(), keNoError);
    int lostCalls = 0;
    database.OnLostConnect = [&](TFbBaseDatabase&, EFbError&, TOnLostConnectActions&) { ++lostCalls; };
    std::vector<TKindFbError> seen;
    handler.OnFbErrorEvent = [&](TComponent* sender, EFbError&, TKindFbError kind, bool& doRaise) {
        EXPECT_EQ(sender, &database);
        EXPECT_TRUE(doRaise);
        seen.push_back(kind);
    };

    EFbServerError syntax = ServerError(-104, 335544569, &database);
    bool doRaise = true;
    handler.HandleError(&database, syntax, doRaise);
    EXPECT_TRUE(doRaise);
    EXPECT_EQ(handler.LastErrorKind(), keOther);

    // Lost, but the connection is not attached: nothing to forget, nothing to restore.
    EFbServerError lost = ServerError(-902, 335544726, &database);
    handler.HandleError(&database, lost, doRaise);
    EXPECT_TRUE(doRaise);
    EXPECT_EQ(seen, (std::vector{keOther, keLostConnect}));
    EXPECT_EQ(lostCalls, 0);
    EXPECT_FALSE(database.RestoreTimer()->isActive());
}

TEST(ErrorHandler, ASilencedLostConnectionBecomesASilentAbort) {
    TFbDatabase database(nullptr, "FDB");
    TFbErrorHandler handler(nullptr, "ErrorHandler1");
    EFbServerError lost = ServerError(-902, 335544721, &database);
    EFbServerError other = ServerError(-104, 335544569, &database);

    // Without an event DoRaise stays true and nothing is thrown.
    bool doRaise = true;
    handler.HandleError(&database, lost, doRaise);
    EXPECT_TRUE(doRaise);

    handler.OnFbErrorEvent = [](TComponent*, EFbError&, TKindFbError, bool& doRaise) { doRaise = false; };
    EXPECT_THROW(handler.HandleError(&database, lost, doRaise), EAbort);
    doRaise = true;
    handler.HandleError(&database, other, doRaise);
    EXPECT_FALSE(doRaise) << "another kind silenced is dropped, not turned into an abort";
}

} // namespace
