#include "view/filter_date_reader.h"

#include "core/text_codec.h"
#include "view/filter_expression.h"

#include <QDate>
#include <cctype>
#include <cstdlib>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

void SkipBlanks(const std::string& text, size_t& pos) {
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
}

// Up to maxDigits decimal digits; false when there is none.
bool ReadNumber(const std::string& text, size_t& pos, size_t maxDigits, int& value, size_t& digits) {
    value = 0;
    digits = 0;
    while (pos < text.size() && digits < maxDigits && IsDigit(text[pos])) {
        value = value * 10 + (text[pos++] - '0');
        ++digits;
    }
    return digits > 0;
}

// The year ending in these two digits that lies nearest to the current one; of two equally near, the past.
int NearestYear(int twoDigits, int currentYear) {
    int best = currentYear - currentYear % 100 + twoDigits;
    for (int candidate : {best - 100, best + 100})
        if (std::abs(candidate - currentYear) < std::abs(best - currentYear) ||
            (std::abs(candidate - currentYear) == std::abs(best - currentYear) && candidate < best))
            best = candidate;
    return best;
}

} // namespace

TFilterDateReader::TFilterDateReader(const QLocale& locale) : m_locale(locale), m_format(locale) {
    const QString pattern = locale.dateFormat(QLocale::ShortFormat);
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && (c == u'd' || c == u'M' || c == u'y')) {
            qsizetype run = 1;
            while (i + run < pattern.size() && pattern[i + run] == c)
                ++run;
            m_numericDate = m_numericDate && (c == u'y' || run <= 2); // ddd, MMM: names
            m_datePieces.push_back({static_cast<char>(c.toLatin1()), {}});
            i += run - 1;
        } else if (!m_datePieces.empty() && m_datePieces.back().field == 0) {
            m_datePieces.back().literal += ToCp1251(QString(c));
        } else {
            m_datePieces.push_back({0, ToCp1251(QString(c))});
        }
    }
}

bool TFilterDateReader::Read(const std::string& text, TDateTime& value) const {
    if (!m_numericDate) {
        const QDate date = m_locale.toDate(FromCp1251(text), QLocale::ShortFormat);
        if (!date.isValid())
            return false;
        value = EncodeDate(date.year(), date.month(), date.day());
        return true;
    }
    size_t pos = 0;
    TDateParts date;
    TTimeParts time;
    if (!ReadDate(text, pos, date))
        return false;
    SkipBlanks(text, pos);
    if (pos < text.size() && !ReadTime(text, pos, time))
        return false;
    value = EncodeDateTime(date, time);
    return true;
}

bool TFilterDateReader::ReadDate(const std::string& text, size_t& pos, TDateParts& date) const {
    for (const TPiece& piece : m_datePieces) {
        SkipBlanks(text, pos);
        if (piece.field == 0) {
            // Blanks in the pattern's separators may be typed or left out.
            for (char c : piece.literal) {
                if (IsBlank(c))
                    continue;
                SkipBlanks(text, pos);
                if (pos >= text.size() || text[pos] != c)
                    return false;
                ++pos;
            }
            continue;
        }
        int number = 0;
        size_t digits = 0;
        if (!ReadNumber(text, pos, piece.field == 'y' ? 4 : 2, number, digits))
            return false;
        if (piece.field == 'd') {
            date.day = number;
        } else if (piece.field == 'M') {
            date.month = number;
        } else if (digits == 2) {
            date.year = NearestYear(number, DecodeDate(Now()).year);
        } else if (digits == 4) {
            date.year = number;
        } else {
            return false;
        }
    }
    return IsValidDate(date.year, date.month, date.day);
}

bool TFilterDateReader::ReadTime(const std::string& text, size_t& pos, TTimeParts& time) const {
    int pm = -1; // no designator
    if (m_format.DesignatorFirst() && ReadDesignator(text, pos, pm))
        SkipBlanks(text, pos);
    size_t digits = 0;
    if (!ReadNumber(text, pos, 2, time.hour, digits) || pos >= text.size() || text[pos++] != ':' ||
        !ReadNumber(text, pos, 2, time.minute, digits) || digits != 2)
        return false;
    if (pos < text.size() && text[pos] == ':') {
        ++pos;
        if (!ReadNumber(text, pos, 2, time.second, digits) || digits != 2)
            return false;
    }
    SkipBlanks(text, pos);
    if (pm < 0 && ReadDesignator(text, pos, pm))
        SkipBlanks(text, pos);
    if (pos != text.size() || time.minute > 59 || time.second > 59)
        return false;
    if (pm < 0)
        return time.hour < 24;
    if (time.hour < 1 || time.hour > 12)
        return false;
    time.hour = time.hour % 12 + (pm ? 12 : 0);
    return true;
}

bool TFilterDateReader::ReadDesignator(const std::string& text, size_t& pos, int& pm) const {
    const std::string rest = UpperCaseCp1251(text.substr(pos));
    for (int isPm : {0, 1}) {
        const std::string designator =
            UpperCaseCp1251(isPm ? m_format.PmDesignator() : m_format.AmDesignator());
        if (!designator.empty() && rest.compare(0, designator.size(), designator) == 0) {
            pos += designator.size();
            pm = isPm;
            return true;
        }
    }
    return false;
}
