#pragma once

#include <QString>
#include <string>
#include <string_view>

// The system keeps 8-bit CP1251 text below the widgets; only widget code converts.
QString FromCp1251(std::string_view bytes);
// The same, added to the end of a text; reuses the text's room, so a reader of many cells allocates once.
void AppendFromCp1251(QString& out, std::string_view bytes);
// A character that CP1251 cannot hold becomes "?".
std::string ToCp1251(const QString& text);
