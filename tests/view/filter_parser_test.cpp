#include "core/exceptions.h"
#include "view/filter_parser.h"

#include <gtest/gtest.h>

namespace {

TFilterLocale DotLocale() {
    TFilterLocale locale;
    locale.decimalSeparator = '.';
    locale.tryParseDateTime = [](const std::string& text, TDateTime& value) {
        int d, m, y;
        if (std::sscanf(text.c_str(), "%d.%d.%d", &d, &m, &y) != 3)
            return false;
        value = EncodeDate(y, m, d);
        return true;
    };
    return locale;
}

TFilterExpression Parse(const std::string& text, TFilterExpressionType type = TFilterExpressionType::Text,
                        const TFilterLocale& locale = DotLocale()) {
    return ParseFilterExpression(text, type, locale);
}

std::string ErrorOf(const std::string& text, TFilterExpressionType type = TFilterExpressionType::Text,
                    const TFilterLocale& locale = DotLocale()) {
    try {
        Parse(text, type, locale);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(accepted)";
}

std::vector<std::string> OperandTexts(const TFilterComparison& comparison) {
    std::vector<std::string> texts;
    for (const TFilterOperand& operand : comparison.operands)
        texts.push_back(operand.text);
    return texts;
}

constexpr auto Number = TFilterExpressionType::Number;
constexpr auto DateTime = TFilterExpressionType::DateTime;

} // namespace

TEST(FilterParser, TypedTextsOfTheCellsAreAcceptedOrRejectedWithTheirMessages) {
    TFilterExpression greater = Parse(">5", Number);
    EXPECT_EQ(greater.first.op, TFilterOperator::Greater);
    EXPECT_EQ(greater.first.operands.at(0).number, 5);
    EXPECT_EQ(greater.relation, TFilterRelation::None);
    EXPECT_EQ(greater.text, ">5");

    EXPECT_EQ(ErrorOf(">abc", Number), "'abc' is not a valid floating point value");
    EXPECT_EQ(ErrorOf("'abc"), "Quote is absent: 'abc");
    EXPECT_EQ(ErrorOf("IN 1,2", Number), "'(' expected: IN 1,2");
    EXPECT_EQ(ErrorOf(">5 <3", Number), "Unexpected AND or OR: >5 <3");

    TFilterExpression both = Parse(">5 AND <3", Number);
    EXPECT_EQ(both.first.op, TFilterOperator::Greater);
    EXPECT_EQ(both.relation, TFilterRelation::And);
    EXPECT_EQ(both.second.op, TFilterOperator::Less);
    EXPECT_EQ(both.second.operands.at(0).number, 3);

    TFilterExpression alone = Parse("abc");
    EXPECT_EQ(alone.first.op, TFilterOperator::Like);
    EXPECT_EQ(OperandTexts(alone.first), std::vector<std::string>{"abc"});

    TFilterExpression now = Parse(">=NOW", DateTime);
    EXPECT_EQ(now.first.op, TFilterOperator::GreaterOrEqual);
    EXPECT_TRUE(now.first.operands.at(0).isNow);
}

TEST(FilterParser, EveryOperatorFormIsRecognisedWithoutRegardToCase) {
    struct Case {
        const char* text;
        TFilterOperator op;
    } cases[] = {
        {"= 1", TFilterOperator::Equal},         {"<> 1", TFilterOperator::NotEqual},
        {"!= 1", TFilterOperator::NotEqual},     {"> 1", TFilterOperator::Greater},
        {"< 1", TFilterOperator::Less},          {">= 1", TFilterOperator::GreaterOrEqual},
        {"<= 1", TFilterOperator::LessOrEqual},  {"~ 1", TFilterOperator::Like},
        {"like 1", TFilterOperator::Like},       {"!~ 1", TFilterOperator::NotLike},
        {"NOT LIKE 1", TFilterOperator::NotLike}, {"not ~ 1", TFilterOperator::NotLike},
        {"! like 1", TFilterOperator::NotLike},  {"in (1)", TFilterOperator::InList},
        {"Not In (1)", TFilterOperator::NotInList}, {"!IN(1)", TFilterOperator::NotInList},
        {"null", TFilterOperator::IsEmpty},      {"=Null", TFilterOperator::IsEmpty},
        {"NOT NULL", TFilterOperator::IsNotEmpty}, {"<>NULL", TFilterOperator::IsNotEmpty},
        {"(1, 2)", TFilterOperator::InList},     {"1", TFilterOperator::Equal},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Parse(c.text, Number).first.op, c.op) << c.text;

    EXPECT_EQ(Parse("1 & 2", Number).relation, TFilterRelation::And);
    EXPECT_EQ(Parse("1 or 2", Number).relation, TFilterRelation::Or);
    EXPECT_EQ(Parse("1 | 2", Number).relation, TFilterRelation::Or);
}

TEST(FilterParser, OperandsEndOnlyAtABlankBeforeAnOperatorOrAtAParenthesis) {
    EXPECT_EQ(OperandTexts(Parse("time out").first), std::vector<std::string>{"time out"});
    EXPECT_EQ(OperandTexts(Parse("a<b").first), std::vector<std::string>{"a<b"});
    EXPECT_EQ(OperandTexts(Parse("nothing").first), std::vector<std::string>{"nothing"});

    TFilterExpression orred = Parse("lost connect OR %timeout%");
    EXPECT_EQ(OperandTexts(orred.first), std::vector<std::string>{"lost connect"});
    EXPECT_EQ(orred.relation, TFilterRelation::Or);
    EXPECT_EQ(orred.second.op, TFilterOperator::Like);
    EXPECT_EQ(OperandTexts(orred.second), std::vector<std::string>{"%timeout%"});

    TFilterExpression quoted = Parse("= 'it''s OR not'");
    EXPECT_EQ(quoted.first.op, TFilterOperator::Equal);
    EXPECT_EQ(OperandTexts(quoted.first), std::vector<std::string>{"it's OR not"});

    TFilterExpression list = Parse("IN ( a b , 'c,d',e )");
    EXPECT_EQ(OperandTexts(list.first), (std::vector<std::string>{"a b", "c,d", "e"}));
    EXPECT_EQ(Parse("  >5  ", Number).text, "  >5  ");
    EXPECT_FALSE(Parse("   ").IsSet());

    // Long runs of blanks inside an operand stay in it, and one before an operator still ends it.
    const std::string blanks(40000, ' ');
    EXPECT_EQ(OperandTexts(Parse("a" + blanks + "b").first), std::vector<std::string>{"a" + blanks + "b"});
    TFilterExpression ended = Parse("a" + blanks + "b" + blanks + "OR c");
    EXPECT_EQ(OperandTexts(ended.first), std::vector<std::string>{"a" + blanks + "b"});
    EXPECT_EQ(OperandTexts(ended.second), std::vector<std::string>{"c"});
}

TEST(FilterParser, SyntaxErrorsNameTheirFaultAndTheWholeText) {
    EXPECT_EQ(ErrorOf(")"), "Error in expression: )");
    EXPECT_EQ(ErrorOf("AND 5"), "Error in expression: AND 5");
    EXPECT_EQ(ErrorOf("> NULL"), "Unexpected expression before Null: > NULL");
    EXPECT_EQ(ErrorOf("LIKE null"), "Unexpected expression before Null: LIKE null");
    EXPECT_EQ(ErrorOf(">"), "Unexpected expression after operator: >");
    EXPECT_EQ(ErrorOf("= >5"), "Unexpected expression after operator: = >5");
    EXPECT_EQ(ErrorOf("NOT abc"), "Unexpected expression after operator: NOT abc");
    EXPECT_EQ(ErrorOf("IN (1, 2", Number), "')' expected: IN (1, 2");
    EXPECT_EQ(ErrorOf("IN ('1' 2)", Number), "')' expected: IN ('1' 2)");
    EXPECT_EQ(ErrorOf("IN ()", Number), "')' expected: IN ()");
    EXPECT_EQ(ErrorOf("a AND"), "Incorrect expression: a AND");
    EXPECT_EQ(ErrorOf("a OR )"), "Incorrect expression: a OR )");
    EXPECT_EQ(ErrorOf("1 AND 2 OR 3", Number), "Unexpected AND or OR: 1 AND 2 OR 3");
    EXPECT_EQ(ErrorOf("IN (1) 2", Number), "Unexpected AND or OR: IN (1) 2");
}

TEST(FilterParser, OperandsConvertByTheColumnType) {
    TFilterExpression list = Parse("IN (1, -2.5, 3e2)", Number);
    ASSERT_EQ(list.first.operands.size(), 3u);
    EXPECT_EQ(list.first.operands[1].number, -2.5);
    EXPECT_EQ(list.first.operands[2].number, 300);
    EXPECT_EQ(ErrorOf("IN (1, x)", Number), "'x' is not a valid floating point value");
    EXPECT_EQ(ErrorOf("=1,5", Number), "'1,5' is not a valid floating point value");

    TFilterLocale comma = DotLocale();
    comma.decimalSeparator = ',';
    TFilterExpression decimal = ParseFilterExpression("IN (1,5)", Number, comma);
    ASSERT_EQ(decimal.first.operands.size(), 1u);
    EXPECT_EQ(decimal.first.operands[0].number, 1.5);
    EXPECT_EQ(ErrorOf("=1.5", Number, comma), "'1.5' is not a valid floating point value");

    TFilterExpression date = Parse("< 09.12.2026 OR = now", DateTime);
    EXPECT_EQ(date.first.operands.at(0).dateTime, EncodeDate(2026, 12, 9));
    EXPECT_FALSE(date.first.operands.at(0).isNow);
    EXPECT_TRUE(date.second.operands.at(0).isNow);
    EXPECT_EQ(ErrorOf(">yesterday", DateTime), "'yesterday' is not a valid date and time");
    // Text columns keep operands as typed, digits included.
    EXPECT_EQ(OperandTexts(Parse("> 5x").first), std::vector<std::string>{"5x"});
}

TEST(FilterParser, DatesAreReadInTheUsersFormatWithEitherYearAndWithOrWithoutSeconds) {
    const TFilterLocale german = FilterLocaleOf(QLocale("de_DE"));
    const TFilterLocale american = FilterLocaleOf(QLocale("en_US"));
    const auto read = [](const std::string& text, const TFilterLocale& locale) {
        TDateTime value = -1;
        return locale.tryParseDateTime(text, value) ? value : -1;
    };
    const auto at = [](int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
        return EncodeDateTime({year, month, day}, {hour, minute, second, 0});
    };
    EXPECT_EQ(read("05.03.24", german), at(2024, 3, 5));
    EXPECT_EQ(read("5.3.2024", german), at(2024, 3, 5));
    EXPECT_EQ(read("05.03.24 00:33:19", german), at(2024, 3, 5, 0, 33, 19));
    EXPECT_EQ(read("05.03.24 13:45", german), at(2024, 3, 5, 13, 45));
    EXPECT_EQ(read("3/5/24", american), at(2024, 3, 5));
    EXPECT_EQ(read("3/5/24 12:00:01 AM", american), at(2024, 3, 5, 0, 0, 1));
    EXPECT_EQ(read("3/5/2024 2:15 pm", american), at(2024, 3, 5, 14, 15));
    EXPECT_EQ(read("3/5/24 12:15 PM", american), at(2024, 3, 5, 12, 15));
    EXPECT_EQ(read("3/5/24 14:15:00", american), at(2024, 3, 5, 14, 15)) << "no designator: a 24-hour clock";

    // A two-digit year is the one nearest to today.
    const int year = DecodeDate(Now()).year;
    const auto twoDigits = [](int y) { return (y % 100 < 10 ? "0" : "") + std::to_string(y % 100); };
    EXPECT_EQ(read("01.01." + twoDigits(year + 30), german), at(year + 30, 1, 1));
    EXPECT_EQ(read("01.01." + twoDigits(year - 60), german), at(year + 40, 1, 1));
    EXPECT_EQ(read("01.01." + twoDigits(year - 49), german), at(year - 49, 1, 1));

    for (const char* bad : {"32.03.24", "05.13.24", "05.03.124", "05.03.24 25:00", "05.03.24 10:61",
                            "05.03.24 10", "05.03.24 10:00 x", "05/03/24"})
        EXPECT_EQ(read(bad, german), -1) << bad;
    for (const char* bad : {"3/5/24 13:00 PM", "3/5/24 0:30 AM", "3.5.24"})
        EXPECT_EQ(read(bad, american), -1) << bad;

    EXPECT_EQ(ErrorOf(">= 05.03.24 00:00:10", DateTime, german), "(accepted)");
}
