#pragma once

#include "view/filter_expression.h"
#include "view/grid_filter_model.h"

#include <vector>

class TLogTableModel;
class TMemTable;

// The expression type of a log column, from its field's type.
TFilterExpressionType FilterTypeOfColumn(const TMemTable& table, int column);

// A row filter accepting the log rows whose every column satisfies that column's condition; NOW stands for
// the given moment. The table is read through the model, so the filter follows a replaced table.
TGridFilterModel::TRowFilter MakeLogRowFilter(const TLogTableModel& model, std::vector<TFilterExpression> conditions,
                                              TDateTime now);
