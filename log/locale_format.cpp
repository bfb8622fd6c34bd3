#include "log/locale_format.h"

#include "core/text_codec.h"

#include <QDate>

namespace {

// Position of the first pattern letter outside quoted literals of a Qt time pattern, or -1.
qsizetype FindPatternLetter(const QString& pattern, QStringView letters) {
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'\'')
            quoted = !quoted;
        else if (!quoted && letters.contains(pattern[i]))
            return i;
    }
    return -1;
}

char* WriteTwoDigits(char* out, int value) {
    *out++ = static_cast<char>('0' + value / 10);
    *out++ = static_cast<char>('0' + value % 10);
    return out;
}

} // namespace

TLocaleFormat::TLocaleFormat() : TLocaleFormat(QLocale()) {}

TLocaleFormat::TLocaleFormat(const QLocale& locale) : m_locale(locale) {
    const QString pattern = locale.timeFormat(QLocale::LongFormat);
    const qsizetype designator = FindPatternLetter(pattern, u"Aa");
    const qsizetype hour = FindPatternLetter(pattern, u"Hh");
    m_twelveHour = designator >= 0;
    m_designatorFirst = m_twelveHour && hour >= 0 && designator < hour;
    m_leadingZero = hour >= 0 && hour + 1 < pattern.size() && pattern[hour + 1] == pattern[hour];
    m_amDesignator = ToCp1251(locale.amText());
    m_pmDesignator = ToCp1251(locale.pmText());
}

void TLocaleFormat::AppendTimeOfDay(std::string& out, int hour, int minute, int second) const {
    const size_t start = out.size();
    out.resize(start + MaxTimeOfDayLength());
    out.resize(static_cast<size_t>(WriteTimeOfDay(out.data() + start, hour, minute, second) - out.data()));
}

char* TLocaleFormat::WriteTimeOfDay(char* out, int hour, int minute, int second) const {
    const std::string& designator = hour < 12 ? m_amDesignator : m_pmDesignator;
    if (m_twelveHour) {
        hour %= 12;
        if (hour == 0)
            hour = 12;
        if (m_designatorFirst) {
            out = std::copy(designator.begin(), designator.end(), out);
            *out++ = ' ';
        }
    }
    if (hour >= 10 || m_leadingZero)
        out = WriteTwoDigits(out, hour);
    else
        *out++ = static_cast<char>('0' + hour);
    *out++ = ':';
    out = WriteTwoDigits(out, minute);
    *out++ = ':';
    out = WriteTwoDigits(out, second);
    if (m_twelveHour && !m_designatorFirst) {
        *out++ = ' ';
        out = std::copy(designator.begin(), designator.end(), out);
    }
    return out;
}

std::string TLocaleFormat::ShortDateText(const TDateParts& date) const {
    return ToCp1251(m_locale.toString(QDate(date.year, date.month, date.day), QLocale::ShortFormat));
}

std::string TLocaleFormat::DateTimeText(TDateTime value) const {
    std::string text = ShortDateText(DecodeDate(value));
    const size_t dateLength = text.size();
    text.resize(dateLength + 1 + MaxTimeOfDayLength());
    text.resize(static_cast<size_t>(WriteTimeAfterDate(text.data() + dateLength, DecodeTime(value)) - text.data()));
    return text;
}

char* TLocaleFormat::WriteTimeAfterDate(char* out, const TTimeParts& time) const {
    if (time.hour == 0 && time.minute == 0 && time.second == 0)
        return out;
    *out++ = ' ';
    return WriteTimeOfDay(out, time.hour, time.minute, time.second);
}
