#include "db/errors.h"

#include "core/component.h"
#include "db/client_library.h"
#include "db/client_messages.h"
#include "tests/support/recording_client_library.h"
#include "tests/support/test_server.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

IFbClientLibraryPtr RealLibrary() { return AcquireClientLibrary("libfbclient.so.2"); }

// Attaches with the given credentials, expecting failure; the thread's status vector holds the failure then.
void FailAttach(IFbClientLibrary& library, const std::string& dbName, const std::string& password) {
    std::string dpb = {isc_dpb_version1};
    for (auto [item, value] : {std::pair{isc_dpb_user_name, TestServer::User()}, {isc_dpb_password, password}}) {
        dpb += static_cast<char>(item);
        dpb += static_cast<char>(value.size());
        dpb += value;
    }
    isc_db_handle db = 0;
    ISC_STATUS* status = ThreadStatusVector();
    const ISC_STATUS result = library.isc_attach_database(status, 0, dbName.c_str(), &db,
                                                          static_cast<short>(dpb.size()), dpb.data());
    ASSERT_GT(result, 0) << "the attach was meant to fail";
    ASSERT_EQ(db, 0u);
}

// The expected message, built from the library's own interpretation of the same vector.
std::string ExpectedServerMessage(IFbClientLibrary& library, const std::string& senderName) {
    ISC_STATUS* status = ThreadStatusVector();
    std::string expected = senderName + ":\r\n";
    char sqlText[512] = {};
    library.isc_sql_interprete(static_cast<short>(library.isc_sqlcode(status)), sqlText, sizeof sqlText);
    std::string line = sqlText;
    EXPECT_FALSE(line.empty());
    line[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
    expected += line + (line.back() == '.' ? "" : ".") + "\r\n";
    std::vector<ISC_STATUS> copy(status, status + kStatusVectorLength);
    ISC_STATUS* position = copy.data();
    std::vector<char> buffer(20480);
    int lines = 0;
    while (library.isc_interprete(buffer.data(), &position) > 0) {
        line = buffer.data();
        line[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
        expected += line + (line.back() == '.' ? "" : ".") + "\r\n";
        ++lines;
    }
    EXPECT_GT(lines, 0);
    return expected;
}

EFbServerError CatchServerError(IFbClientLibrary& library, TComponent* sender) {
    try {
        RaiseServerError(library, sender);
    } catch (const EFbServerError& error) {
        return error;
    }
    ADD_FAILURE() << "RaiseServerError returned";
    return EFbServerError(EFbError::TFields{});
}

TEST(ServerError, FailedAttachesComposeSenderSqlCodeAndEngineLines) {
    IFbClientLibraryPtr library = RealLibrary();
    TComponent form(nullptr, "Form1");
    TComponent fdb(&form, "FDB");
    const std::string missingDb = TestServer::OnServer(TestServer::DbDir() + "/no-such-database.fdb");
    for (const auto& [dbName, password] :
         {std::pair{TestServer::Db1(), std::string("wrong-password")}, {missingDb, TestServer::Password()}}) {
        SCOPED_TRACE(dbName);
        FailAttach(*library, dbName, password);
        const ISC_STATUS firstCode = ThreadStatusVector()[1];
        const ISC_LONG sqlCode = library->isc_sqlcode(ThreadStatusVector());
        const std::string expected = ExpectedServerMessage(*library, "Form1.FDB");

        const EFbServerError error = CatchServerError(*library, &fdb);
        EXPECT_EQ(error.Message(), expected);
        EXPECT_EQ(error.SqlErrorCode(), sqlCode);
        EXPECT_LT(error.SqlErrorCode(), 0);
        EXPECT_EQ(error.EngineErrorCode(), firstCode);
        EXPECT_EQ(error.SenderName(), "Form1.FDB");
        EXPECT_EQ(error.Sender(), &fdb);
        EXPECT_TRUE(error.ClientText().empty());
        EXPECT_TRUE(error.ExtraText().empty());
    }
}

// Answers the interpretation calls from a script, so the composition rules can be checked on texts the server
// would never produce.
class TScriptedLibrary : public TRecordingClientLibrary {
public:
    TScriptedLibrary(std::string sqlText, std::vector<std::string> engineLines)
        : TRecordingClientLibrary(RealLibrary()), m_sqlText(std::move(sqlText)), m_engineLines(std::move(engineLines)) {}

    ISC_LONG isc_sqlcode(const ISC_STATUS*) override { return -901; }
    void isc_sql_interprete(short, ISC_SCHAR* buffer, short length) override {
        TRecordingClientLibrary::isc_sql_interprete(-901, buffer, length);
        std::strncpy(buffer, m_sqlText.c_str(), static_cast<size_t>(length));
    }
    ISC_LONG isc_interprete(ISC_SCHAR* buffer, ISC_STATUS** position) override {
        if (m_nextLine == m_engineLines.size())
            return 0;
        ++*position;
        std::strcpy(buffer, m_engineLines[m_nextLine].c_str());
        return static_cast<ISC_LONG>(m_engineLines[m_nextLine++].size() + 1);
    }

private:
    std::string m_sqlText;
    std::vector<std::string> m_engineLines;
    size_t m_nextLine = 0;
};

TEST(ServerError, LineRulesForCaseFullStopsEmptyLinesAndBackslashN) {
    ThreadStatusVector()[1] = 335544721;
    TScriptedLibrary library("unsuccessful\\n metadata\\n update.", {"", "connection lost\\nhere", "ends.",
                                                                     "\xC1\xE0\xE7\xE0 closed", "Already upper"});
    TComponent form(nullptr, "Form1");
    TComponent query(&form, "qry1");
    const EFbServerError error = CatchServerError(library, &query);
    EXPECT_EQ(error.SqlCodeText(), "Unsuccessful metadata update.\r\n");
    EXPECT_EQ(error.EngineText(), "Connection lost\\nhere.\r\n"
                                  "Ends.\r\n"
                                  "\xC1\xE0\xE7\xE0 closed.\r\n"
                                  "Already upper.\r\n");
    EXPECT_EQ(error.Message(), "Form1.qry1:\r\n" + error.SqlCodeText() + error.EngineText());
    EXPECT_EQ(error.EngineErrorCode(), 335544721);
}

TEST(ServerError, NoSenderLineForShortOrMissingSendersAndNoLinesForEmptyTexts) {
    TComponent shortName(nullptr, "X");
    for (TComponent* sender : {&shortName, static_cast<TComponent*>(nullptr)}) {
        TScriptedLibrary library("", {});
        const EFbServerError error = CatchServerError(library, sender);
        EXPECT_EQ(error.Message(), "") << "empty SQL-code text and no engine lines add nothing";
        EXPECT_EQ(error.Sender(), sender);
    }
}

TEST(ServerError, MessagePartsSwitchedOffAreNeitherAskedForNorShown) {
    SetErrorMessageParts(empEngineText);
    TScriptedLibrary library("sql text", {"engine line"});
    TComponent fdb(nullptr, "FDB");
    const EFbServerError error = CatchServerError(library, &fdb);
    SetErrorMessageParts(kAllErrorMessageParts);
    EXPECT_EQ(error.Message(), "Engine line.\r\n");
    EXPECT_TRUE(error.SqlCodeText().empty());
    const std::vector<std::string> calls = library.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "isc_sql_interprete"), 0);
}

TEST(ServerError, RegisteredHandlerSeesTheErrorAndDecidesWhatIsRaised) {
    TComponent fdb(nullptr, "FDB");
    TScriptedLibrary library("sql", {"engine"});
    TComponent* seenSender = nullptr;
    std::string seenMessage;
    RegisterServerErrorHandler([&](TComponent* sender, EFbError& error, bool& doRaise) {
        seenSender = sender;
        seenMessage = error.Message();
        EXPECT_TRUE(doRaise);
        doRaise = false;
    });
    EXPECT_TRUE(ServerErrorHandlerRegistered());
    EXPECT_NO_THROW(RaiseServerError(library, &fdb)) << "a handler that clears DoRaise drops the error";
    EXPECT_EQ(seenSender, &fdb);
    EXPECT_EQ(seenMessage, "FDB:\r\nSql.\r\nEngine.\r\n");

    RegisterServerErrorHandler([](TComponent*, EFbError&, bool&) { throw EAbort(); });
    TScriptedLibrary again("sql", {"engine"});
    EXPECT_THROW(RaiseServerError(again, &fdb), EAbort) << "the handler's own error replaces the built one";

    RegisterServerErrorHandler([](TComponent*, EFbError& error, bool&) { error.SetUnanswered("Call timed out.\r\n"); });
    TScriptedLibrary third("sql", {"engine"});
    EXPECT_EQ(CatchServerError(third, &fdb).Message(), "FDB:\r\nSql.\r\nEngine.\r\nCall timed out.\r\n");

    UnregisterServerErrorHandler();
    EXPECT_FALSE(ServerErrorHandlerRegistered());
    TScriptedLibrary fourth("sql", {"engine"});
    EXPECT_THROW(RaiseServerError(fourth, &fdb), EFbServerError);
}

EFbClientError CatchClientError(const std::function<void()>& raise) {
    try {
        raise();
    } catch (const EFbClientError& error) {
        return error;
    }
    ADD_FAILURE() << "no client error";
    return EFbClientError(EFbError::TFields{});
}

TEST(ClientError, MessageIsExactlyTheFormattedEntryWithoutASenderLine) {
    ThreadStatusVector()[1] = 0;
    const EFbClientError error =
        CatchClientError([] { RaiseClientError(ceDbNotOpen, std::string("Form1.FDB")); });
    EXPECT_EQ(error.Message(), "Form1.FDB: Cannot perform operation -- DB is not open.");
    EXPECT_EQ(error.ClientText(), error.Message());
    EXPECT_EQ(error.SqlErrorCode(), 12);
    EXPECT_EQ(error.EngineErrorCode(), 0);
    EXPECT_TRUE(error.SenderName().empty());
    EXPECT_EQ(error.Sender(), nullptr);

    EXPECT_EQ(CatchClientError([] { RaiseClientError(ceWindowsApiError, 5, 255); }).Message(),
              "Windows API error. (Windows error 5 [$000000ff])");
    EXPECT_EQ(CatchClientError([] { RaiseClientError(ceUnknownSqlDataType, 999); }).Message(),
              "Unknown SQL Data type (999).");
    EXPECT_EQ(CatchClientError([] { RaiseClientError(ceEmptyQuery, "Prepare"); }).Message(),
              "Can't Prepare , because  query is empty");
    EXPECT_EQ(CatchClientError([] {
                  RaiseClientError(ceSqlParseError, "Form1.qry1", "EOF in string detected");
              }).Message(),
              "SQL Parse Error in :Form1.qry1 \r\n\r\nEOF in string detected");
    EXPECT_EQ(CatchClientError([] { RaiseClientError(ceFieldNotFound, "Field No: 3"); }).Message(),
              "Field \"Field No: 3\" not found.");
    EXPECT_STREQ(ClientErrorMessage(128 + 2), "Not permitted.") << "the number is taken modulo 128";
    EXPECT_STREQ(ClientErrorMessage(100), "Unknown error.") << "a number without an entry";
}

TEST(ClientError, EngineCodeKeepsTheFirstCodeOfTheLastFailedCall) {
    IFbClientLibraryPtr library = RealLibrary();
    FailAttach(*library, TestServer::Db1(), "wrong-password");
    const ISC_STATUS failedCode = ThreadStatusVector()[1];
    ASSERT_NE(failedCode, 0);
    const EFbClientError error = CatchClientError([] { RaiseClientError(ceDatabaseNameMissing); });
    EXPECT_EQ(error.EngineErrorCode(), failedCode);
    EXPECT_EQ(error.Message(), "Database name is missing.");
}

} // namespace
