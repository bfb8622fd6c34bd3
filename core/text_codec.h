#pragma once

#include <QString>
#include <string>

// The system keeps 8-bit CP1251 text below the widgets; only widget code converts.
QString FromCp1251(const std::string& bytes);
// A character that CP1251 cannot hold becomes "?".
std::string ToCp1251(const QString& text);
