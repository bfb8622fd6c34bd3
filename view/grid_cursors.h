#pragma once

#include <QCursor>

// The pointer over the indicator column: an arrow pointing right (row selection).
QCursor RightArrowCursor();
// The pointer over the lowest pixels of a column title: an arrow pointing down (column selection).
QCursor DownArrowCursor();
