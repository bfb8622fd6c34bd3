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

template <class Char> Char* WriteTwoDigits(Char* out, int value) {
    *out++ = static_cast<Char>('0' + value / 10);
    *out++ = static_cast<Char>('0' + value % 10);
    return out;
}

// A designator as the code page writes it, or the English one where the code page lacks a character of it.
std::string Cp1251Designator(const QString& text, const char* english) {
    return ToCp1251Exactly(text).value_or(english);
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
    m_amDesignator = Cp1251Designator(locale.amText(), "AM");
    m_pmDesignator = Cp1251Designator(locale.pmText(), "PM");
    m_amText = locale.amText().toStdU16String();
    m_pmText = locale.pmText().toStdU16String();
}

void TLocaleFormat::AppendTimeOfDay(std::string& out, int hour, int minute, int second) const {
    const size_t start = out.size();
    out.resize(start + MaxTimeOfDayLength());
    out.resize(static_cast<size_t>(WriteTimeOfDay(out.data() + start, hour, minute, second) - out.data()));
}

char* TLocaleFormat::WriteTimeOfDay(char* out, int hour, int minute, int second) const {
    return WriteTime(out, {hour, minute, second, 0}, m_amDesignator, m_pmDesignator);
}

template <class Char>
Char* TLocaleFormat::WriteTime(Char* out, const TTimeParts& time, const std::basic_string<Char>& am,
                               const std::basic_string<Char>& pm) const {
    int hour = time.hour;
    const std::basic_string<Char>& designator = hour < 12 ? am : pm;
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
        *out++ = static_cast<Char>('0' + hour);
    *out++ = ':';
    out = WriteTwoDigits(out, time.minute);
    *out++ = ':';
    out = WriteTwoDigits(out, time.second);
    if (m_twelveHour && !m_designatorFirst) {
        *out++ = ' ';
        out = std::copy(designator.begin(), designator.end(), out);
    }
    return out;
}

std::string TLocaleFormat::ShortDateText(const TDateParts& date) const {
    if (std::optional<std::string> text = ToCp1251Exactly(ShortDateString(date)))
        return std::move(*text);
    // Digits of another script (Arabic-Indic, for one): the same pattern with the digits the code page has,
    // without the invisible direction marks that come with right-to-left scripts.
    QString text = QLocale::c().toString(QDate(date.year, date.month, date.day),
                                         m_locale.dateFormat(QLocale::ShortFormat));
    text.removeIf([](QChar c) { return c.category() == QChar::Other_Format; });
    return ToCp1251(text);
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

QString TLocaleFormat::ShortDateString(const TDateParts& date) const {
    return m_locale.toString(QDate(date.year, date.month, date.day), QLocale::ShortFormat);
}

QString TLocaleFormat::DateTimeString(TDateTime value) const {
    QString text = ShortDateString(DecodeDate(value));
    AppendTimeAfterDate(text, DecodeTime(value));
    return text;
}

void TLocaleFormat::AppendTimeAfterDate(QString& out, const TTimeParts& time) const {
    if (time.hour == 0 && time.minute == 0 && time.second == 0)
        return;
    const qsizetype start = out.size();
    out.resize(start + 10 + static_cast<qsizetype>(std::max(m_amText.size(), m_pmText.size())));
    auto* const begin = reinterpret_cast<char16_t*>(out.data());
    char16_t* end = begin + start;
    *end++ = u' ';
    end = WriteTime(end, time, m_amText, m_pmText);
    out.resize(end - begin);
}
