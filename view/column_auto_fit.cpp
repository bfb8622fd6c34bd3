#include "view/column_auto_fit.h"

#include <algorithm>
#include <cstdint>

namespace {

int MulDivRounded(int64_t value, int64_t numerator, int64_t denominator) {
    if (denominator == 0)
        return 0;
    return static_cast<int>((value * numerator + denominator / 2) / denominator);
}

int ClampToLimits(const TAutoFitColumn& column, int width) {
    width = std::max(width, column.minWidth);
    if (column.maxWidth > 0)
        width = std::min(width, column.maxWidth);
    return width;
}

} // namespace

void AutoFitColumnWidths(std::vector<TAutoFitColumn>& columns, int clientWidth, int minAutoFitWidth,
                         int indicatorWidth) {
    std::vector<bool> fixed(columns.size());
    for (size_t i = 0; i < columns.size(); ++i)
        fixed[i] = !columns[i].autoFit;

    // A column pinned by its limits leaves the distribution, which then repeats for the others.
    for (bool repeat = true; repeat;) {
        repeat = false;
        int fixedSum = 0;
        int64_t baseSum = 0;
        int lastAutoFit = -1;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (fixed[i]) {
                fixedSum += columns[i].width;
            } else {
                baseSum += columns[i].baseWidth;
                lastAutoFit = static_cast<int>(i);
            }
        }
        if (lastAutoFit < 0)
            return;
        int available = std::max(0, std::max(clientWidth, minAutoFitWidth) - fixedSum);
        available -= indicatorWidth + static_cast<int>(columns.size()) + 1;
        available = std::max(0, available);

        int distributed = 0;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (fixed[i])
                continue;
            int width = MulDivRounded(columns[i].baseWidth, available, baseSum);
            int limited = ClampToLimits(columns[i], width);
            if (limited != width) {
                columns[i].width = limited;
                fixed[i] = true;
                repeat = true;
                break;
            }
            columns[i].width = width;
            distributed += width;
        }
        if (!repeat)
            columns[lastAutoFit].width = std::max(0, columns[lastAutoFit].width + available - distributed);
    }
}

void ResizeAutoFitColumn(std::vector<TAutoFitColumn>& columns, int index, int newWidth) {
    TAutoFitColumn& column = columns[index];
    newWidth = ClampToLimits(column, newWidth);
    if (!column.autoFit || column.width <= 0) {
        column.width = newWidth;
        return;
    }
    int oldBase = column.baseWidth;
    column.baseWidth = MulDivRounded(column.baseWidth, newWidth, column.width);
    column.width = newWidth;
    if (index + 1 < static_cast<int>(columns.size()) && columns[index + 1].autoFit) {
        TAutoFitColumn& next = columns[index + 1];
        next.baseWidth = std::max(0, next.baseWidth - (column.baseWidth - oldBase));
    }
}
