#include "view/log_row_filter.h"

#include "log/mem_table.h"
#include "view/log_table_model.h"

namespace {

TFilterCell CellOf(const TMemTable& table, int row, int column) {
    TFilterCell cell;
    TFieldValue value = table.RowValue(row, column);
    cell.isNull = std::holds_alternative<std::monostate>(value);
    if (auto* time = std::get_if<TDateTime>(&value))
        cell.dateTime = *time;
    else if (auto* number = std::get_if<int32_t>(&value))
        cell.number = *number;
    else if (auto* text = std::get_if<std::string>(&value))
        cell.text = std::move(*text);
    return cell;
}

} // namespace

TFilterExpressionType FilterTypeOfColumn(const TMemTable& table, int column) {
    switch (table.Fields(column).DataType()) {
    case ftDateTime: return TFilterExpressionType::DateTime;
    case ftInteger: return TFilterExpressionType::Number;
    case ftString: break;
    }
    return TFilterExpressionType::Text;
}

TGridFilterModel::TRowFilter MakeLogRowFilter(const TLogTableModel& model, std::vector<TFilterExpression> conditions,
                                              TDateTime now) {
    return [&model, conditions = std::move(conditions), now](int row) {
        const TMemTable* table = model.Table();
        if (!table)
            return false;
        for (int column = 0; column < static_cast<int>(conditions.size()); ++column)
            if (conditions[column].IsSet() && !FilterMatches(conditions[column], CellOf(*table, row, column), now))
                return false;
        return true;
    };
}
