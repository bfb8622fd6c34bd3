#pragma once

#include "core/date_time.h"

#include <string>
#include <vector>

enum class TFilterOperator {
    Equal,
    NotEqual,
    Greater,
    Less,
    GreaterOrEqual,
    LessOrEqual,
    Like,
    NotLike,
    InList,
    NotInList,
    IsEmpty,
    IsNotEmpty,
};

enum class TFilterRelation { None, And, Or };

// Follows the column's field type: text for Error, number for Value, date-time for Time.
enum class TFilterExpressionType { Text, Number, DateTime };

struct TFilterOperand {
    std::string text; // as typed, quotes removed
    double number = 0;
    TDateTime dateTime = 0;
    bool isNow = false; // the word NOW on a date-time column, read when the filter is applied
};

struct TFilterComparison {
    TFilterOperator op = TFilterOperator::Equal;
    std::vector<TFilterOperand> operands; // one, the list items, or none for the empty tests
};

// A column's condition; an empty text means the column has none.
struct TFilterExpression {
    TFilterExpressionType type = TFilterExpressionType::Text;
    TFilterComparison first;
    TFilterRelation relation = TFilterRelation::None;
    TFilterComparison second;
    std::string text;

    bool IsSet() const { return !text.empty(); }
};

// One cell as the filter sees it.
struct TFilterCell {
    bool isNull = true;
    std::string text;
    double number = 0;
    TDateTime dateTime = 0;
};

// Whether a cell satisfies a column's condition; `now` stands for NOW. Text comparisons ignore letter case
// (Latin and Cyrillic); "_" matches one character and "%" any run in LIKE patterns. An empty text counts as
// empty like a null.
bool FilterMatches(const TFilterExpression& expression, const TFilterCell& cell, TDateTime now);

// Upper case of an 8-bit CP1251 text, Cyrillic included.
std::string UpperCaseCp1251(const std::string& text);
