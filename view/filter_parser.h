#pragma once

#include "view/filter_expression.h"

#include <QLocale>
#include <functional>
#include <string>

// The user's formats that typed operands are read in.
struct TFilterLocale {
    char decimalSeparator = '.';
    // Reads a date and time in the user's format; false when the text is none.
    std::function<bool(const std::string& text, TDateTime& value)> tryParseDateTime;
};

// Dates and times are read as the grid shows them in that locale.
TFilterLocale FilterLocaleOf(const QLocale& locale);
// The process's regional settings.
TFilterLocale UserFilterLocale();

// Parses a condition typed into a filter cell for a column of the given type. Syntax errors raise Exception
// with their message followed by the whole text; operands that do not convert raise EConvertError. An empty
// (or blank) text gives an expression that is not set.
TFilterExpression ParseFilterExpression(const std::string& text, TFilterExpressionType type,
                                        const TFilterLocale& locale);
