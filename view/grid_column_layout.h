#pragma once

#include <vector>

class QHeaderView;
class QFontMetrics;
class TMemTable;

// The widths of the grid's columns: Time and Value fixed at their default or user-set widths, Error auto-fit
// to the rest. Section sizes in the header include the one-pixel column line; widths here do not.
class TGridColumnLayout {
public:
    explicit TGridColumnLayout(QHeaderView& titles) : m_titles(titles) {}

    // Gives every column its default width; the string field is the one that fills the rest.
    void Bind(const TMemTable& table, const QFontMetrics& metrics);
    bool IsBound() const { return !m_autoFit.empty(); }
    static int DefaultWidth(const TMemTable& table, int column, const QFontMetrics& metrics);

    int Width(int column) const;
    std::vector<int> VisibleColumns() const;
    // clientWidth includes the indicator column, indicatorWidth is without its line.
    void AutoFit(int clientWidth, int indicatorWidth);
    // A header section was resized (by the user or by SetColumnWidth); not called for the layout's own.
    void Resized(int column, int oldSize, int newSize);
    bool Fitting() const { return m_fitting; }

private:
    QHeaderView& m_titles;
    std::vector<bool> m_autoFit;
    std::vector<int> m_baseWidth;
    bool m_fitting = false;
};
