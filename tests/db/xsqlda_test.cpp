#include "db/xsqlda.h"

#include "db/errors.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

void Describe(TFbXSQLDA& descriptor, int index, short sqlType, short sqlLength, const char* alias) {
    XSQLVAR& var = descriptor[index].Var();
    var.sqltype = sqlType;
    var.sqllen = sqlLength;
    var.aliasname_length = static_cast<short>(std::strlen(alias));
    std::memcpy(var.aliasname, alias, std::strlen(alias));
}

TEST(XSQLDA, EmptyDescriptorPassesNullAndCountsGrowWithoutShrinking) {
    TFbXSQLDA descriptor;
    EXPECT_EQ(descriptor.AsXSQLDA(), nullptr);
    descriptor.SetCount(3);
    XSQLDA* da = descriptor.AsXSQLDA();
    ASSERT_NE(da, nullptr);
    EXPECT_EQ(da->version, SQLDA_VERSION1);
    EXPECT_EQ(da->sqln, 3);
    EXPECT_EQ(da->sqld, 3);
    EXPECT_EQ(descriptor.AllocatedBytes(), XSQLDA_LENGTH(3));
    EXPECT_EQ(da->sqlvar[2].sqltype, 0) << "new memory is zero-filled";

    descriptor.SetCount(1);
    EXPECT_EQ(descriptor.AllocatedBytes(), XSQLDA_LENGTH(3)) << "never shrinks";
    EXPECT_EQ(descriptor.AsXSQLDA()->sqln, 1);
    descriptor.SetCount(0);
    EXPECT_EQ(descriptor.AsXSQLDA(), nullptr);
}

TEST(XSQLDA, ColumnBuffersFollowTheTypeAndSurviveGrowth) {
    TFbXSQLDA descriptor;
    descriptor.SetCount(4);
    Describe(descriptor, 0, SQL_VARYING + 1, 10, "NAME");
    Describe(descriptor, 1, SQL_TEXT, 0, "");
    Describe(descriptor, 2, SQL_TIMESTAMP, 8, "NAME");
    Describe(descriptor, 3, SQL_LONG, 4, "");
    descriptor.AllocateColumnBuffers();

    const XSQLVAR& varying = descriptor[0].Var();
    EXPECT_NE(varying.sqlind, nullptr) << "nullable entries get an indicator";
    EXPECT_EQ(descriptor[1].Var().sqlind, nullptr);
    EXPECT_NE(descriptor[1].Var().sqldata, nullptr) << "an empty CHAR still gets one byte";
    EXPECT_EQ(descriptor[0].Name(), "NAME");
    EXPECT_EQ(descriptor[1].Name(), "F_2");
    EXPECT_EQ(descriptor[2].Name(), "NAME1");
    EXPECT_EQ(descriptor[3].Name(), "F_4");

    char* data = varying.sqldata;
    short* indicator = varying.sqlind;
    descriptor.SetCount(40);
    EXPECT_EQ(descriptor[0].Var().sqldata, data) << "growing keeps the entries' buffers";
    EXPECT_EQ(descriptor[0].Var().sqlind, indicator);
    EXPECT_TRUE(descriptor[0].Name().empty()) << "names are forgotten";

    descriptor[0].SetNull();
    EXPECT_TRUE(descriptor[0].IsNull());
    EXPECT_EQ(*descriptor[0].Var().sqlind, -1);
}

TEST(XSQLDA, UnknownColumnTypesAreHeldAsTheirBytesUnlessTheyDeclareNoLength) {
    TFbXSQLDA descriptor;
    descriptor.SetCount(2);
    Describe(descriptor, 0, SQL_BOOLEAN + 1, 1, "B");
    Describe(descriptor, 1, 32752, 16, "I"); // INT128 of a newer server
    descriptor.AllocateColumnBuffers();
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(descriptor[i].Var().sqldata, nullptr);
        EXPECT_EQ(descriptor[i].IsNullable(), i == 0);
    }
    EXPECT_NE(descriptor[0].Var().sqlind, nullptr);
    std::memset(descriptor[1].Var().sqldata, 0xAB, 16); // the whole declared length is writable

    Describe(descriptor, 1, 32752, 0, "I");
    try {
        descriptor.AllocateColumnBuffers();
        FAIL() << "accepted a column without a length";
    } catch (const EFbClientError& error) {
        EXPECT_EQ(error.SqlErrorCode(), 30);
        EXPECT_EQ(error.Message(), "Unknown SQL Data type (32752).");
    }
}

TEST(XSQLDA, NullParametersAreNullableWithIndicatorMinusOne) {
    TFbXSQLDA descriptor;
    descriptor.SetCount(1);
    Describe(descriptor, 0, SQL_LONG, 4, "");
    descriptor[0].BindNull();
    EXPECT_EQ(descriptor[0].Var().sqltype, SQL_LONG + 1);
    ASSERT_NE(descriptor[0].Var().sqlind, nullptr);
    EXPECT_EQ(*descriptor[0].Var().sqlind, -1);
    EXPECT_NE(descriptor[0].Var().sqldata, nullptr);
}

} // namespace
