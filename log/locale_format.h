#pragma once

#include "core/date_time.h"

#include <QLocale>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <string>

// The user's way of writing dates and times, taken from the process locale (QLocale(): the system's unless the
// program sets a default). The grid shows times with it and the export writes the time of day with it.
//
// There are two sets of designators. The grid shows the locale's own; the 8-bit texts (the export, and every
// text of the code page) use them only where the code page can write them and "AM" and "PM" otherwise, so
// that a morning and an afternoon time never read the same.
class TLocaleFormat {
public:
    TLocaleFormat();
    explicit TLocaleFormat(const QLocale& locale);

    bool TwelveHour() const { return m_twelveHour; }
    bool DesignatorFirst() const { return m_designatorFirst; }
    bool LeadingZero() const { return m_leadingZero; }

    // The time of day in the long time pattern with ":" between its parts: "14:03:09", "02:03:09 PM",
    // "PM 2:03:09". On a 12-hour clock 0 is written as 12.
    void AppendTimeOfDay(std::string& out, int hour, int minute, int second) const;
    // The same into a buffer with room for MaxTimeOfDayLength() characters; returns the end of the text.
    char* WriteTimeOfDay(char* out, int hour, int minute, int second) const;
    size_t MaxTimeOfDayLength() const { return 9 + std::max(m_amDesignator.size(), m_pmDesignator.size()); }
    const std::string& AmDesignator() const { return m_amDesignator; }
    const std::string& PmDesignator() const { return m_pmDesignator; }
    // The date in the user's short date pattern.
    std::string ShortDateText(const TDateParts& date) const;
    // The short date, a space and the time of day; the time is left out at midnight to the second.
    std::string DateTimeText(TDateTime value) const;
    // What DateTimeText writes after the date: nothing at midnight to the second, otherwise a space and the
    // time of day. Needs room for MaxTimeOfDayLength() + 1 characters; returns the end of the text.
    char* WriteTimeAfterDate(char* out, const TTimeParts& time) const;

    // The grid's texts: the same, in the locale's own characters.
    QString ShortDateString(const TDateParts& date) const;
    QString DateTimeString(TDateTime value) const;
    void AppendTimeAfterDate(QString& out, const TTimeParts& time) const;

private:
    template <class Char>
    Char* WriteTime(Char* out, const TTimeParts& time, const std::basic_string<Char>& am,
                    const std::basic_string<Char>& pm) const;

    QLocale m_locale;
    bool m_twelveHour = false;
    bool m_designatorFirst = false;
    bool m_leadingZero = false;
    std::string m_amDesignator;
    std::string m_pmDesignator;
    std::u16string m_amText;
    std::u16string m_pmText;
};
