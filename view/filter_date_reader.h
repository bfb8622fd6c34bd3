#pragma once

#include "core/date_time.h"
#include "log/locale_format.h"

#include <QLocale>
#include <string>
#include <vector>

// Reads a date and time typed into the Time column's filter cell the way the grid shows it: the user's short
// date, then optionally the time of day as the grid writes it (hours and minutes, seconds optional, the
// AM/PM designator where the user's clock has one; without a designator the hour counts on a 24-hour
// clock). Years may have two digits or four; two digits mean the year nearest to today.
class TFilterDateReader {
public:
    explicit TFilterDateReader(const QLocale& locale);

    // False when the text (CP1251) is no date and time.
    bool Read(const std::string& text, TDateTime& value) const;

private:
    // One piece of the short date pattern: a day, month or year field, or literal text (CP1251).
    struct TPiece {
        char field = 0; // 'd', 'M', 'y'; 0 for literal text
        std::string literal;
    };

    bool ReadDate(const std::string& text, size_t& pos, TDateParts& date) const;
    bool ReadTime(const std::string& text, size_t& pos, TTimeParts& time) const;
    bool ReadDesignator(const std::string& text, size_t& pos, int& pm) const;

    QLocale m_locale;
    TLocaleFormat m_format;
    std::vector<TPiece> m_datePieces;
    bool m_numericDate = true; // false for a pattern with names (of months, days), read by Qt instead
};
