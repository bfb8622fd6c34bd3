// The connect and transaction parameter buffers, byte for byte.
#include "core/exceptions.h"
#include "db/errors.h"
#include "db/param_buffers.h"
#include "db/legacy_binding.h"
#include "db/utf8_file_name.h"
#include "tests/db/error_capture.h"

#include <gtest/gtest.h>

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string result;
    for (int value : values)
        result += static_cast<char>(value);
    return result;
}

} // namespace

TEST(DatabaseParamBuffer, MainWindowParametersGiveTheCharacterSetUserAndPasswordItems) {
    std::vector<std::string> lines = {"lc_ctype=WIN1251", "user_name=SYSDBA", "password=masterkey"};
    const std::string expected = Bytes({0x01, 0x30, 0x07}) + "WIN1251" + Bytes({0x1C, 0x06}) + "SYSDBA" +
                                 Bytes({0x1D, 0x09}) + "masterkey";
    EXPECT_EQ(BuildDatabaseParamBuffer(lines), expected);

    // Prefix and case of the name do not matter; blanks outside the line are trimmed and written back.
    lines = {"  ISC_DPB_User_Name=SYSDBA\t", "", "   "};
    EXPECT_EQ(BuildDatabaseParamBuffer(lines), Bytes({0x01, 0x1C, 0x06}) + "SYSDBA");
    EXPECT_EQ(lines, (std::vector<std::string>{"ISC_DPB_User_Name=SYSDBA", "", ""}));

    // The value keeps its blanks and its case; the name is not trimmed inside.
    lines = {"sql_role_name= Admin"};
    EXPECT_EQ(BuildDatabaseParamBuffer(lines), Bytes({0x01, 0x3C, 0x06}) + " Admin");
}

TEST(DatabaseParamBuffer, NumericItemsUseTheirOwnEncodings) {
    std::vector<std::string> lines = {"sweep_interval=20000", "num_buffers=258", "no_garbage_collect=whatever",
                                      "sweep", "sql_dialect=3", "connect_timeout=-1"};
    EXPECT_EQ(BuildDatabaseParamBuffer(lines),
              Bytes({0x01, 22, 4, 0x20, 0x4E, 0x00, 0x00, 5, 1, 0x02, 16, 1, 0, 10, 1, 2, 63, 1, 3, 57, 1, 0xFF}));

    lines = {"sweep_interval=-2"};
    EXPECT_EQ(BuildDatabaseParamBuffer(lines), Bytes({0x01, 22, 4, 0xFE, 0xFF, 0xFF, 0xFF}));
}

TEST(DatabaseParamBuffer, RefusedNamesAndValuesRaiseTheirErrors) {
    // Blanks around "=" stay in the name, which then is not one of the table.
    std::vector<std::string> lines = {"lc_ctype = WIN1251"};
    EXPECT_EQ(ClientErrorOf([&] { BuildDatabaseParamBuffer(lines); }),
              std::make_pair(9, std::string("DPB Constant (lc_ctype ) is unknown.")));

    lines = {"user_name=SYSDBA", "ISC_DPB_PAGE_SIZE=8192"};
    EXPECT_EQ(ClientErrorOf([&] { BuildDatabaseParamBuffer(lines); }),
              std::make_pair(8, std::string("DPB Constant (isc_dpb_page_size) is unsupported.")));

    lines = {" num_buffers=lots ", " user_name=x "};
    try {
        BuildDatabaseParamBuffer(lines);
        FAIL() << "a non-integer value was accepted";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message(), "'lots' is not a valid integer value");
    }
    // Trimming stops where the error is.
    EXPECT_EQ(lines, (std::vector<std::string>{"num_buffers=lots", " user_name=x "}));

    // A length byte cannot count more than 255 bytes; such a buffer would be garbage to the server.
    lines = {"password=" + std::string(256, 'p')};
    EXPECT_THROW(BuildDatabaseParamBuffer(lines), Exception);
    lines = {"password=" + std::string(255, 'p')};
    EXPECT_EQ(BuildDatabaseParamBuffer(lines).size(), 1u + 2u + 255u);
}

TEST(TransactionParamBuffer, WindowAndInternalTransactionsGiveTheirFiveBytes) {
    std::vector<std::string> lines = {"read", "nowait", "read_committed", "rec_version"};
    EXPECT_EQ(BuildTransactionParamBuffer(lines), Bytes({0x03, 0x08, 0x07, 0x0F, 0x11}));

    lines = {"write", "isc_tpb_nowait", "read_committed", "rec_version"};
    EXPECT_EQ(BuildTransactionParamBuffer(lines), Bytes({0x03, 0x09, 0x07, 0x0F, 0x11}));

    lines = {"isc_tpb_read", " ", "CONCURRENCY", "lock_write=T1"};
    EXPECT_EQ(BuildTransactionParamBuffer(lines), Bytes({0x03, 0x08, 0x02, 0x0B, 0x02}) + "T1");
    EXPECT_EQ(lines[1], "");

    lines = {};
    EXPECT_EQ(BuildTransactionParamBuffer(lines), "");
}

TEST(TransactionParamBuffer, UnsupportedAndUnknownNamesRaiseTheirErrors) {
    std::vector<std::string> lines = {"read", "verb_time"};
    EXPECT_EQ(ClientErrorOf([&] { BuildTransactionParamBuffer(lines); }),
              std::make_pair(10, std::string("TPB Constant (isc_tpb_verb_time) is unsupported.")));
    lines = {"ISC_TPB_AUTOCOMMIT"};
    EXPECT_EQ(ClientErrorOf([&] { BuildTransactionParamBuffer(lines); }),
              std::make_pair(10, std::string("TPB Constant (isc_tpb_autocommit) is unsupported.")));
    lines = {"read_comitted"};
    EXPECT_EQ(ClientErrorOf([&] { BuildTransactionParamBuffer(lines); }),
              std::make_pair(11, std::string("TPB Constant (read_comitted) is unknown.")));
}

TEST(DatabaseParamBuffer, ANameBeyondAsciiAddsTheUtf8FileNameItem) {
    const std::string built = Bytes({1, 0x30, 7}) + "WIN1251";
    EXPECT_EQ(WithUtf8FileName(built, "localhost:/data/TEST.FDB"), built);
    EXPECT_EQ(WithUtf8FileName(built, "localhost:/data/caf\xc3\xa9.fdb"), built + Bytes({77, 0}));
    EXPECT_EQ(WithUtf8FileName(built, "/data/\xd1\x82\xd0\xb5\xd1\x81\xd1\x82.fdb"), built + Bytes({77, 0}));
}

TEST(DatabaseParamBuffer, EveryAttachAsksForTheLegacyBindingOfTheNewerTypes) {
    const std::string binding = "time zone to legacy; int128 to legacy; decfloat to legacy";
    const std::string built = Bytes({1, 0x30, 7}) + "WIN1251";
    EXPECT_EQ(WithLegacyBinding(built), built + Bytes({93, 57}) + binding);
    // A buffer without items still starts with its version.
    EXPECT_EQ(WithLegacyBinding(""), Bytes({1, 93, 57}) + binding);
}
