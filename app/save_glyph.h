#pragma once

#include <QPixmap>

// The 17 x 17 picture of the Save button, drawn in code: a yellow and white page at the top left, an arrow that
// leads right and then down, and a grey drive with a red lamp along the bottom. Olive is the transparent colour.
QPixmap SaveGlyph();
