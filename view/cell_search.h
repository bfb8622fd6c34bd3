#pragma once

#include <QString>
#include <QStringMatcher>
#include <functional>
#include <optional>

// How a cell's text must match the search text; the order of the find dialog's list.
enum TMatchType { mtAnyPart, mtWholeField, mtFieldStart };
// Where a search goes from the current cell.
enum TSearchDirection { sdUp, sdDown, sdFromTop };

// A cell of the searched area: a row and an index into the list of searched columns.
struct TSearchCell {
    int Row = -1;
    int Column = 0;
};

// Finds a text in the cells of a grid, walking row by row and, within a row, through the searched columns
// in their order.
class TCellSearch {
public:
    using TCellText = std::function<QString(int row, int column)>;

    TCellSearch(QString text, TMatchType matchType, bool caseSensitive);

    bool Matches(const QString& cellText) const;
    // The first matching cell: from the top, from the first cell; otherwise from the cell after (down) or
    // before (up) the current one, a row's last column being followed by the next row's first. A current
    // row of -1 lies before the first row.
    std::optional<TSearchCell> Find(TSearchDirection direction, TSearchCell current, int rowCount,
                                    int columnCount, const TCellText& cellText) const;

private:
    QString m_text;
    TMatchType m_matchType;
    Qt::CaseSensitivity m_case;
    QStringMatcher m_anyPart; // prepared once: a search looks into a million cells
};
