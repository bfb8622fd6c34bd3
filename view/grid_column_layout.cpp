#include "view/grid_column_layout.h"

#include "log/mem_table.h"
#include "view/column_auto_fit.h"

#include <QFontMetrics>
#include <QHeaderView>

int TGridColumnLayout::DefaultWidth(const TMemTable& table, int column, const QFontMetrics& metrics) {
    // The font's overhang is 0 here, so the rule reduces to the digit width times the characters plus 4.
    return metrics.horizontalAdvance(QLatin1Char('0')) * table.Fields(column).DisplayWidth() + 4;
}

void TGridColumnLayout::Bind(const TMemTable& table, const QFontMetrics& metrics) {
    m_autoFit.assign(TMemTable::FieldCount, false);
    m_baseWidth.assign(TMemTable::FieldCount, 0);
    m_fitting = true;
    for (int column = 0; column < TMemTable::FieldCount; ++column) {
        m_autoFit[column] = table.Fields(column).DataType() == ftString;
        m_baseWidth[column] = DefaultWidth(table, column, metrics);
        m_titles.resizeSection(column, m_baseWidth[column] + 1);
    }
    m_fitting = false;
}

int TGridColumnLayout::Width(int column) const {
    return std::max(0, m_titles.sectionSize(column) - 1);
}

std::vector<int> TGridColumnLayout::VisibleColumns() const {
    std::vector<int> columns;
    for (int visual = 0; visual < m_titles.count(); ++visual) {
        int column = m_titles.logicalIndex(visual);
        if (!m_titles.isSectionHidden(column))
            columns.push_back(column);
    }
    return columns;
}

void TGridColumnLayout::AutoFit(int clientWidth, int indicatorWidth) {
    if (m_fitting || !IsBound())
        return;
    std::vector<int> logical = VisibleColumns();
    std::vector<TAutoFitColumn> columns;
    for (int column : logical)
        columns.push_back({Width(column), m_autoFit[column], m_baseWidth[column], 0, 0});
    AutoFitColumnWidths(columns, clientWidth, 0, indicatorWidth);
    m_fitting = true;
    for (size_t i = 0; i < logical.size(); ++i)
        if (columns[i].width != Width(logical[i]))
            m_titles.resizeSection(logical[i], columns[i].width + 1);
    m_fitting = false;
}

void TGridColumnLayout::Resized(int column, int oldSize, int newSize) {
    if (m_fitting || !IsBound())
        return;
    std::vector<int> logical = VisibleColumns();
    std::vector<TAutoFitColumn> columns;
    int index = -1;
    for (int c : logical) {
        if (c == column)
            index = static_cast<int>(columns.size());
        int width = c == column ? std::max(0, oldSize - 1) : Width(c);
        columns.push_back({width, m_autoFit[c], m_baseWidth[c], 0, 0});
    }
    if (index < 0)
        return;
    ResizeAutoFitColumn(columns, index, std::max(0, newSize - 1));
    for (size_t i = 0; i < logical.size(); ++i)
        m_baseWidth[logical[i]] = columns[i].baseWidth;
}
