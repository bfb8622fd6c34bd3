#include "view/filter_expression.h"

#include <algorithm>
#include <cstdint>

namespace {

unsigned char UpperCp1251(unsigned char c) {
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 'A';
    if (c >= 0xE0) // а..я
        return c - 0x20;
    switch (c) {
    case 0xB8: return 0xA8; // ё
    case 0xBA: return 0xAA; // є
    case 0xBF: return 0xAF; // ї
    case 0xB3: return 0xB2; // і
    case 0xB4: return 0xA5; // ґ
    case 0xA2: return 0xA1; // ў
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9D: return 0x8D;
    case 0x9E: return 0x8E;
    case 0x9F: return 0x8F;
    case 0x90: return 0x80; // ђ
    case 0x83: return 0x81; // ѓ
    case 0xBE: return 0xBD;
    case 0xBC: return 0xA3;
    default: return c;
    }
}

// LIKE with "_" for one character and "%" for any run; both sides already in upper case. Iterative with one
// backtrack point, so long texts cost linear time for the usual patterns.
bool LikeMatches(const std::string& text, const std::string& pattern) {
    size_t t = 0, p = 0, starPattern = std::string::npos, starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '_' || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '%') {
            starPattern = p++;
            starText = t;
        } else if (starPattern != std::string::npos) {
            p = starPattern + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '%')
        ++p;
    return p == pattern.size();
}

int64_t WholeSeconds(TDateTime value) {
    const TDateTimeStamp stamp = DateTimeToTimeStamp(value);
    return stamp.days * 86400 + stamp.msecOfDay / 1000;
}

// -1, 0, 1 as the cell's value compares with the operand in the column's type.
int Compare(TFilterExpressionType type, const TFilterCell& cell, const TFilterOperand& operand, TDateTime now) {
    switch (type) {
    case TFilterExpressionType::Number:
        return cell.number < operand.number ? -1 : cell.number > operand.number ? 1 : 0;
    case TFilterExpressionType::DateTime: {
        // To the second, as the grid shows times: a time typed from a cell finds that cell's row.
        const int64_t cellSecond = WholeSeconds(cell.dateTime);
        const int64_t value = WholeSeconds(operand.isNow ? now : operand.dateTime);
        return cellSecond < value ? -1 : cellSecond > value ? 1 : 0;
    }
    case TFilterExpressionType::Text:
        break;
    }
    return UpperCaseCp1251(cell.text).compare(UpperCaseCp1251(operand.text));
}

bool IsEmptyCell(const TFilterExpressionType type, const TFilterCell& cell) {
    return cell.isNull || (type == TFilterExpressionType::Text && cell.text.empty());
}

bool InList(TFilterExpressionType type, const TFilterCell& cell, const std::vector<TFilterOperand>& items,
            TDateTime now) {
    return std::any_of(items.begin(), items.end(),
                       [&](const TFilterOperand& item) { return Compare(type, cell, item, now) == 0; });
}

bool ComparisonMatches(TFilterExpressionType type, const TFilterComparison& comparison, const TFilterCell& cell,
                       TDateTime now) {
    if (comparison.op == TFilterOperator::IsEmpty)
        return IsEmptyCell(type, cell);
    if (comparison.op == TFilterOperator::IsNotEmpty)
        return !IsEmptyCell(type, cell);
    if (cell.isNull || comparison.operands.empty())
        return false; // a null satisfies no comparison with a value
    const TFilterOperand& operand = comparison.operands.front();
    switch (comparison.op) {
    case TFilterOperator::Equal: return Compare(type, cell, operand, now) == 0;
    case TFilterOperator::NotEqual: return Compare(type, cell, operand, now) != 0;
    case TFilterOperator::Greater: return Compare(type, cell, operand, now) > 0;
    case TFilterOperator::Less: return Compare(type, cell, operand, now) < 0;
    case TFilterOperator::GreaterOrEqual: return Compare(type, cell, operand, now) >= 0;
    case TFilterOperator::LessOrEqual: return Compare(type, cell, operand, now) <= 0;
    case TFilterOperator::Like: return LikeMatches(UpperCaseCp1251(cell.text), UpperCaseCp1251(operand.text));
    case TFilterOperator::NotLike: return !LikeMatches(UpperCaseCp1251(cell.text), UpperCaseCp1251(operand.text));
    case TFilterOperator::InList: return InList(type, cell, comparison.operands, now);
    case TFilterOperator::NotInList: return !InList(type, cell, comparison.operands, now);
    case TFilterOperator::IsEmpty:
    case TFilterOperator::IsNotEmpty: break;
    }
    return false;
}

} // namespace

std::string UpperCaseCp1251(const std::string& text) {
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(UpperCp1251(static_cast<unsigned char>(c)));
    return upper;
}

bool FilterMatches(const TFilterExpression& expression, const TFilterCell& cell, TDateTime now) {
    if (!expression.IsSet())
        return true;
    bool first = ComparisonMatches(expression.type, expression.first, cell, now);
    switch (expression.relation) {
    case TFilterRelation::None: return first;
    case TFilterRelation::And: return first && ComparisonMatches(expression.type, expression.second, cell, now);
    case TFilterRelation::Or: return first || ComparisonMatches(expression.type, expression.second, cell, now);
    }
    return first;
}
