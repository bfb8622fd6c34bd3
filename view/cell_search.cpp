#include "view/cell_search.h"

#include <algorithm>

TCellSearch::TCellSearch(QString text, TMatchType matchType, bool caseSensitive)
    : m_text(std::move(text)), m_matchType(matchType),
      m_case(caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive), m_anyPart(m_text, m_case) {
}

bool TCellSearch::Matches(const QString& cellText) const {
    switch (m_matchType) {
    case mtWholeField:
        return cellText.compare(m_text, m_case) == 0;
    case mtFieldStart:
        return cellText.startsWith(m_text, m_case);
    case mtAnyPart:
        break;
    }
    return m_anyPart.indexIn(cellText) >= 0;
}

std::optional<TSearchCell> TCellSearch::Find(TSearchDirection direction, TSearchCell current, int rowCount,
                                             int columnCount, const TCellText& cellText) const {
    if (rowCount <= 0 || columnCount <= 0)
        return std::nullopt;
    // Cells in reading order, one number each, so stepping to the next column and to the next row is one.
    const qint64 last = qint64{rowCount} * columnCount - 1;
    const qint64 here =
        current.Row < 0 ? -1 : std::min(qint64{current.Row} * columnCount + current.Column, last + 1);
    const int step = direction == sdUp ? -1 : 1;
    for (qint64 cell = direction == sdFromTop ? 0 : here + step; cell >= 0 && cell <= last; cell += step) {
        const int row = static_cast<int>(cell / columnCount);
        const int column = static_cast<int>(cell % columnCount);
        if (Matches(cellText(row, column)))
            return TSearchCell{row, column};
    }
    return std::nullopt;
}
