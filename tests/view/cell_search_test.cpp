#include "view/cell_search.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
// A log of three columns (Time, Value, Error) as the grid shows it.
const std::vector<std::vector<QString>> Log = {
    {"09.12.2026 10:00:00", "12", ""},
    {"09.12.2026 10:00:10", "5003", "connection timeout"},
    {"09.12.2026 10:00:20", "11", ""},
    {"09.12.2026 10:00:30", "5001", "Timeout while reading"},
    {"09.12.2026 10:00:40", "10", "lost: TIMEOUT"},
};

struct TLogCells {
    std::vector<int> Columns; // searched columns in screen order
    QString operator()(int row, int column) const {
        return Log[static_cast<size_t>(row)][static_cast<size_t>(Columns[static_cast<size_t>(column)])];
    }
};

std::vector<int> RowsFound(const TCellSearch& search, TSearchDirection first, TSearchCell from,
                           const TLogCells& cells) {
    std::vector<int> rows;
    auto direction = first;
    while (auto found = search.Find(direction, from, static_cast<int>(Log.size()),
                                    static_cast<int>(cells.Columns.size()), cells)) {
        rows.push_back(found->Row);
        from = *found;
        direction = first == sdFromTop ? sdDown : first;
    }
    return rows;
}

TEST(CellSearch, MatchTypesAndCase) {
    const TCellSearch anyPart("timeout", mtAnyPart, false);
    EXPECT_TRUE(anyPart.Matches("connection TimeOut"));
    EXPECT_FALSE(anyPart.Matches("time out"));
    const TCellSearch whole("timeout", mtWholeField, false);
    EXPECT_TRUE(whole.Matches("TIMEOUT"));
    EXPECT_FALSE(whole.Matches("connection timeout"));
    const TCellSearch start("time", mtFieldStart, true);
    EXPECT_TRUE(start.Matches("timeout"));
    EXPECT_FALSE(start.Matches("Timeout"));
    EXPECT_FALSE(start.Matches("a timeout"));
    EXPECT_FALSE(start.Matches("tim"));
    const TCellSearch cyrillic(QString::fromUtf8("ОШИБКА"), mtAnyPart, false);
    EXPECT_TRUE(cyrillic.Matches(QString::fromUtf8("сетевая ошибка")));
}

TEST(CellSearch, OneColumnWalksDownFromTheTopUpwardsAndStopsAtTheEnds) {
    const TLogCells error{{2}};
    const TCellSearch search("timeout", mtAnyPart, false);
    EXPECT_EQ(RowsFound(search, sdFromTop, {2, 0}, error), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(RowsFound(search, sdDown, {1, 0}, error), (std::vector<int>{3, 4}));
    EXPECT_EQ(RowsFound(search, sdUp, {4, 0}, error), (std::vector<int>{3, 1}));
    EXPECT_EQ(RowsFound(search, sdDown, {-1, 0}, error), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(RowsFound(search, sdUp, {-1, 0}, error), std::vector<int>{});
    // A current row that no longer exists lies after the last one.
    EXPECT_EQ(RowsFound(search, sdUp, {40, 0}, error), (std::vector<int>{4, 3, 1}));
    EXPECT_EQ(RowsFound(TCellSearch("timeout", mtWholeField, false), sdFromTop, {0, 0}, error),
              std::vector<int>{});
    EXPECT_FALSE(search.Find(sdFromTop, {-1, 0}, 0, 1, error));
}

TEST(CellSearch, AllColumnsVisitARowInScreenOrderBeforeTheNextRow) {
    // Columns on screen: Error, Time, Value.
    const TLogCells all{{2, 0, 1}};
    std::vector<std::pair<int, int>> cells;
    const TCellSearch search("1", mtAnyPart, false);
    TSearchCell from{-1, 0};
    TSearchDirection direction = sdFromTop;
    while (auto found = search.Find(direction, from, 2, 3, all)) {
        cells.emplace_back(found->Row, found->Column);
        from = *found;
        direction = sdDown;
    }
    // In the first two rows every time holds a "1", of the values only 12, of the errors none.
    EXPECT_EQ(cells, (std::vector<std::pair<int, int>>{{0, 1}, {0, 2}, {1, 1}}));

    const auto up = search.Find(sdUp, {1, 1}, 2, 3, all);
    ASSERT_TRUE(up);
    EXPECT_EQ(std::make_pair(up->Row, up->Column), std::make_pair(0, 2));
}
} // namespace
