#pragma once

#include <vector>

// One visible column as the auto-fit rule sees it. Widths are in pixels without the column's line.
struct TAutoFitColumn {
    int width = 0;
    bool autoFit = false;
    int baseWidth = 0; // the share an auto-fit column claims of the free width
    int minWidth = 0;
    int maxWidth = 0; // 0: no maximum
};

// Gives the auto-fit columns exactly the width left by the fixed ones, the indicator and the one-pixel lines,
// in proportion to their base widths; the rightmost auto-fit column takes the rounding rest, never below 0.
void AutoFitColumnWidths(std::vector<TAutoFitColumn>& columns, int clientWidth, int minAutoFitWidth,
                         int indicatorWidth);

// A user drag of a column's border: a fixed column takes the width; an auto-fit column scales its base width
// and the next column's base absorbs the difference. Auto-fit is expected to run afterwards.
void ResizeAutoFitColumn(std::vector<TAutoFitColumn>& columns, int index, int newWidth);
