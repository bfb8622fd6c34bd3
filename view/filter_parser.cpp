#include "view/filter_parser.h"

#include "core/exceptions.h"
#include "core/text_codec.h"
#include "view/filter_date_reader.h"

#include <cctype>
#include <charconv>
#include <optional>

namespace {

enum class TToken { Equal, NotEqual, Greater, Less, GreaterOrEqual, LessOrEqual, Like, NotLike, Not, In, Null, And, Or };

struct TOperatorForm {
    const char* text;
    TToken token;
    bool word;
};

// Longer symbols first, so that "<>" is not read as "<".
constexpr TOperatorForm OperatorForms[] = {
    {"<>", TToken::NotEqual, false}, {"!=", TToken::NotEqual, false},    {">=", TToken::GreaterOrEqual, false},
    {"<=", TToken::LessOrEqual, false}, {"!~", TToken::NotLike, false},  {"=", TToken::Equal, false},
    {">", TToken::Greater, false},    {"<", TToken::Less, false},         {"~", TToken::Like, false},
    {"!", TToken::Not, false},        {"&", TToken::And, false},          {"|", TToken::Or, false},
    {"LIKE", TToken::Like, true},     {"NOT", TToken::Not, true},         {"IN", TToken::In, true},
    {"NULL", TToken::Null, true},     {"AND", TToken::And, true},         {"OR", TToken::Or, true},
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || (c & 0x80); }

struct TOperatorAt {
    TToken token;
    size_t length;
};

std::optional<TOperatorAt> OperatorAt(const std::string& s, size_t pos) {
    for (const TOperatorForm& form : OperatorForms) {
        size_t length = std::char_traits<char>::length(form.text);
        if (pos + length > s.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < length && same; ++i)
            same = std::toupper(static_cast<unsigned char>(s[pos + i])) == form.text[i];
        if (!same || (form.word && pos + length < s.size() && IsWordChar(s[pos + length])))
            continue;
        return TOperatorAt{form.token, length};
    }
    return std::nullopt;
}

class TConditionParser {
public:
    TConditionParser(const std::string& text, const std::string& trimmed, TFilterExpressionType type,
                     bool commaSeparatesItems)
        : m_text(text), m_s(trimmed), m_textColumn(type == TFilterExpressionType::Text),
          m_commaSeparatesItems(commaSeparatesItems) {}

    void Parse(TFilterExpression& expression) {
        ParseComparison(expression.first, "Error in expression: ");
        SkipBlanks();
        if (AtEnd())
            return;
        std::optional<TOperatorAt> relation = OperatorAt(m_s, m_pos);
        if (!relation || (relation->token != TToken::And && relation->token != TToken::Or))
            Fail("Unexpected AND or OR: ");
        m_pos += relation->length;
        expression.relation = relation->token == TToken::And ? TFilterRelation::And : TFilterRelation::Or;
        ParseComparison(expression.second, "Incorrect expression: ");
        SkipBlanks();
        if (!AtEnd())
            Fail("Unexpected AND or OR: ");
    }

private:
    [[noreturn]] void Fail(const char* message) const { throw Exception(message + m_text); }
    bool AtEnd() const { return m_pos >= m_s.size(); }
    void SkipBlanks() {
        while (!AtEnd() && IsBlank(m_s[m_pos]))
            ++m_pos;
    }

    // The start of a comparison: an operator with what it needs, or an operand alone.
    void ParseComparison(TFilterComparison& comparison, const char* noStartMessage) {
        SkipBlanks();
        if (AtEnd())
            Fail(noStartMessage);
        if (std::optional<TOperatorAt> op = OperatorAt(m_s, m_pos)) {
            m_pos += op->length;
            ParseAfterOperator(op->token, comparison, noStartMessage);
            return;
        }
        char c = m_s[m_pos];
        if (c == '(') {
            comparison.op = TFilterOperator::InList;
            ParseList(comparison);
        } else if (c == ')' || c == ',') {
            Fail(noStartMessage);
        } else {
            comparison.op = m_textColumn ? TFilterOperator::Like : TFilterOperator::Equal;
            comparison.operands.push_back(ReadOperand(false));
        }
    }

    void ParseAfterOperator(TToken token, TFilterComparison& comparison, const char* noStartMessage) {
        SkipBlanks();
        std::optional<TOperatorAt> next = AtEnd() ? std::nullopt : OperatorAt(m_s, m_pos);
        switch (token) {
        case TToken::And:
        case TToken::Or: Fail(noStartMessage); // a relation cannot start a comparison
        case TToken::Null: comparison.op = TFilterOperator::IsEmpty; return;
        case TToken::Not: ParseAfterNot(next, comparison); return;
        case TToken::In:
            comparison.op = TFilterOperator::InList;
            ExpectList(comparison);
            return;
        case TToken::Equal:
            ParseOperandOrNull(TFilterOperator::Equal, TFilterOperator::IsEmpty, next, comparison);
            return;
        case TToken::NotEqual:
            ParseOperandOrNull(TFilterOperator::NotEqual, TFilterOperator::IsNotEmpty, next, comparison);
            return;
        case TToken::Greater: ParseOperandOf(TFilterOperator::Greater, next, comparison); return;
        case TToken::Less: ParseOperandOf(TFilterOperator::Less, next, comparison); return;
        case TToken::GreaterOrEqual: ParseOperandOf(TFilterOperator::GreaterOrEqual, next, comparison); return;
        case TToken::LessOrEqual: ParseOperandOf(TFilterOperator::LessOrEqual, next, comparison); return;
        case TToken::Like: ParseOperandOf(TFilterOperator::Like, next, comparison); return;
        case TToken::NotLike: ParseOperandOf(TFilterOperator::NotLike, next, comparison); return;
        }
    }

    // NOT is followed by LIKE, IN or NULL.
    void ParseAfterNot(const std::optional<TOperatorAt>& next, TFilterComparison& comparison) {
        if (!next || (next->token != TToken::Like && next->token != TToken::In && next->token != TToken::Null))
            Fail("Unexpected expression after operator: ");
        m_pos += next->length;
        if (next->token == TToken::Null) {
            comparison.op = TFilterOperator::IsNotEmpty;
        } else if (next->token == TToken::In) {
            comparison.op = TFilterOperator::NotInList;
            ExpectList(comparison);
        } else {
            comparison.op = TFilterOperator::NotLike;
            ExpectOperand(comparison);
        }
    }

    // "= NULL" and "<> NULL" are the empty tests.
    void ParseOperandOrNull(TFilterOperator op, TFilterOperator withNull, const std::optional<TOperatorAt>& next,
                            TFilterComparison& comparison) {
        if (next && next->token == TToken::Null) {
            m_pos += next->length;
            comparison.op = withNull;
            return;
        }
        comparison.op = op;
        ExpectOperand(comparison);
    }

    void ParseOperandOf(TFilterOperator op, const std::optional<TOperatorAt>& next, TFilterComparison& comparison) {
        if (next && next->token == TToken::Null)
            Fail("Unexpected expression before Null: ");
        comparison.op = op;
        ExpectOperand(comparison);
    }

    void ExpectOperand(TFilterComparison& comparison) {
        SkipBlanks();
        if (AtEnd() || OperatorAt(m_s, m_pos) || m_s[m_pos] == '(' || m_s[m_pos] == ')' || m_s[m_pos] == ',')
            Fail("Unexpected expression after operator: ");
        comparison.operands.push_back(ReadOperand(false));
    }

    void ExpectList(TFilterComparison& comparison) {
        SkipBlanks();
        if (AtEnd() || m_s[m_pos] != '(')
            Fail("'(' expected: ");
        ParseList(comparison);
    }

    void ParseList(TFilterComparison& comparison) {
        ++m_pos; // "("
        for (;;) {
            SkipBlanks();
            if (AtEnd() || m_s[m_pos] == ')' || m_s[m_pos] == ',')
                Fail("')' expected: ");
            comparison.operands.push_back(ReadOperand(true));
            SkipBlanks();
            if (!AtEnd() && m_s[m_pos] == ',' && m_commaSeparatesItems) {
                ++m_pos;
                continue;
            }
            if (AtEnd() || m_s[m_pos] != ')')
                Fail("')' expected: ");
            ++m_pos;
            return;
        }
    }

    TFilterOperand ReadOperand(bool inList) {
        TFilterOperand operand;
        if (m_s[m_pos] == '\'') {
            operand.text = ReadQuoted();
            return operand;
        }
        size_t start = m_pos;
        while (!AtEnd()) {
            char c = m_s[m_pos];
            if (c == '(' || c == ')' || (inList && c == ',' && m_commaSeparatesItems))
                break;
            if (!IsBlank(c)) {
                ++m_pos;
                continue;
            }
            // A run of blanks is looked past once: it ends the operand only when an operator follows it.
            size_t next = m_pos;
            while (next < m_s.size() && IsBlank(m_s[next]))
                ++next;
            if (next < m_s.size() && OperatorAt(m_s, next))
                break;
            m_pos = next;
        }
        size_t end = m_pos;
        while (end > start && IsBlank(m_s[end - 1]))
            --end;
        operand.text = m_s.substr(start, end - start);
        return operand;
    }

    std::string ReadQuoted() {
        std::string value;
        for (++m_pos; !AtEnd(); ++m_pos) {
            if (m_s[m_pos] != '\'') {
                value += m_s[m_pos];
            } else if (m_pos + 1 < m_s.size() && m_s[m_pos + 1] == '\'') {
                value += '\'';
                ++m_pos;
            } else {
                ++m_pos;
                return value;
            }
        }
        Fail("Quote is absent: ");
    }

    const std::string& m_text;
    const std::string& m_s;
    bool m_textColumn;
    bool m_commaSeparatesItems;
    size_t m_pos = 0;
};

std::string Trimmed(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool TryTextToFloat(const std::string& text, char decimalSeparator, double& value) {
    std::string s = Trimmed(text);
    std::string plain;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        plain += s[i++];
    size_t digits = 0;
    for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i, ++digits)
        plain += s[i];
    if (i < s.size() && s[i] == decimalSeparator) {
        plain += '.';
        for (++i; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i, ++digits)
            plain += s[i];
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            plain += s[i++];
        size_t exponentDigits = 0;
        for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i, ++exponentDigits)
            plain += s[i];
        if (exponentDigits == 0)
            return false;
    }
    if (i != s.size())
        return false;
    const char* first = plain.data() + (plain[0] == '+' ? 1 : 0);
    auto [end, error] = std::from_chars(first, plain.data() + plain.size(), value);
    return error == std::errc() && end == plain.data() + plain.size();
}

void ConvertOperand(TFilterOperand& operand, TFilterExpressionType type, const TFilterLocale& locale) {
    if (type == TFilterExpressionType::Number) {
        if (!TryTextToFloat(operand.text, locale.decimalSeparator, operand.number))
            throw EConvertError::InvalidFloat(operand.text);
    } else if (type == TFilterExpressionType::DateTime) {
        if (UpperCaseCp1251(Trimmed(operand.text)) == "NOW")
            operand.isNow = true;
        else if (!locale.tryParseDateTime || !locale.tryParseDateTime(Trimmed(operand.text), operand.dateTime))
            throw EConvertError::InvalidDateTime(operand.text);
    }
}

} // namespace

TFilterLocale FilterLocaleOf(const QLocale& locale) {
    TFilterLocale filterLocale;
    QString separator = locale.decimalPoint();
    filterLocale.decimalSeparator = separator.size() == 1 ? separator[0].toLatin1() : '.';
    filterLocale.tryParseDateTime = [reader = TFilterDateReader(locale)](const std::string& text, TDateTime& value) {
        return reader.Read(text, value);
    };
    return filterLocale;
}

TFilterLocale UserFilterLocale() {
    return FilterLocaleOf(QLocale());
}

TFilterExpression ParseFilterExpression(const std::string& text, TFilterExpressionType type,
                                        const TFilterLocale& locale) {
    TFilterExpression expression;
    expression.type = type;
    std::string trimmed = Trimmed(text);
    if (trimmed.empty())
        return expression;
    bool commaSeparatesItems = !(type == TFilterExpressionType::Number && locale.decimalSeparator == ',');
    TConditionParser(text, trimmed, type, commaSeparatesItems).Parse(expression);
    for (TFilterComparison* comparison : {&expression.first, &expression.second}) {
        for (TFilterOperand& operand : comparison->operands)
            ConvertOperand(operand, type, locale);
    }
    expression.text = text;
    return expression;
}
