#include "db/sql_scan.h"

#include "db/errors.h"

#include <gtest/gtest.h>

namespace {

TEST(SqlScan, MarkersCountOnlyOutsideStringsAndCommentsAndNeverInTheFirstCharacter) {
    EXPECT_FALSE(HasParameterMarkers("select 1 from rdb$database\r\n"));
    EXPECT_TRUE(HasParameterMarkers("select * from t where id = :id"));
    EXPECT_TRUE(HasParameterMarkers("select * from t where id = ?"));
    EXPECT_TRUE(HasParameterMarkers("select @macro from t"));
    EXPECT_FALSE(HasParameterMarkers("select ':x', \"a?b\" from t"));
    EXPECT_FALSE(HasParameterMarkers("select 1 /* :x ? */ from t"));
    EXPECT_FALSE(HasParameterMarkers("select 1 -- :x\r\nfrom t"));
    EXPECT_TRUE(HasParameterMarkers("select 1 -- comment\r\nfrom t where a = :a"));
    EXPECT_FALSE(HasParameterMarkers("?"));
    EXPECT_FALSE(HasParameterMarkers(":x")) << "the first character is never examined";
    EXPECT_TRUE(HasParameterMarkers("'x:'")) << "a quote in the first character does not open a string";
}

TEST(SqlScan, DdlIsFoundFromTheFirstWordAfterBlanksAndComments) {
    for (const char* text : {"create table t (a int)", "ALTER TABLE t", "  drop table t", "comment on table t is 'x'",
                             "declare external function f", "recreate view v as select 1 from rdb$database",
                             "-- note\r\ncreate table t(a int)", "/* note */ create table t(a int)",
                             "set generator g to 1", "SET\r\n GENERATOR g TO 5", "create(", "drop;"}) {
        EXPECT_TRUE(IsDdlText(text)) << text;
    }
    for (const char* text : {"select 1 from rdb$database", "set transaction", "created", "-x create table t",
                             "/x create table t", "(create table t)", "/* c */create table t", "insert into t values(1)",
                             "", "  \r\n", "execute procedure p"}) {
        EXPECT_FALSE(IsDdlText(text)) << text;
    }
}

std::string ParseErrorOf(const std::string& text) {
    try {
        PreprocessSql(text, "Form1.qry1");
    } catch (const EFbClientError& error) {
        EXPECT_EQ(error.SqlErrorCode(), 51);
        return error.Message();
    }
    return "no error";
}

TEST(SqlScan, PreprocessingRewritesMarkersAndCollectsNamesInOrder) {
    const TPreprocessedSql result =
        PreprocessSql("update t set a = :a, b = :\"Mixed Name\" where id = ? and s = ':no' /* :no */", "q");
    EXPECT_EQ(result.processedSql, "update t set a = ?, b = ? where id = ? and s = ':no' /* :no */");
    EXPECT_EQ(result.parameterNames, (std::vector<std::string>{"a", "Mixed Name", ""}));

    const TPreprocessedSql block =
        PreprocessSql("execute block (x int = :x) returns (y int) as begin y = :x; suspend; end", "q");
    EXPECT_EQ(block.processedSql, "execute block (x int = ?) returns (y int) as begin y = :x; suspend; end");
    EXPECT_EQ(block.parameterNames, (std::vector<std::string>{"x"}));
}

TEST(SqlScan, PreprocessingFailuresNameTheQuery) {
    EXPECT_EQ(ParseErrorOf("select :a from t /* open"), "SQL Parse Error in :Form1.qry1 \r\n\r\nEOF in comment detected");
    EXPECT_EQ(ParseErrorOf("select :a from t where s = 'open"),
              "SQL Parse Error in :Form1.qry1 \r\n\r\nEOF in string detected");
    EXPECT_EQ(ParseErrorOf("select a from t where b = : "),
              "SQL Parse Error in :Form1.qry1 \r\n\r\nParameter name expected");
}

} // namespace
