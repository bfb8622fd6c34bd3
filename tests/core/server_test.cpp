// Proves that tools/test really started the Firebird server and made both test databases.
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

TEST(TestServer, BothDatabasesAnswerWithTheirDialectAndCharacterSet) {
    const std::string query = "select 'D=' || mon$sql_dialect || ' ' || trim(rdb$character_set_name) "
                              "from mon$database, rdb$database;";
    EXPECT_NE(TestServer::Isql(TestServer::Db1(), query).find("D=1 WIN1251"), std::string::npos);
    EXPECT_NE(TestServer::Isql(TestServer::Db3(), query).find("D=3 WIN1251"), std::string::npos);
}
