#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

// The system keeps 8-bit CP1251 text below the widgets; only widget code converts.
QString FromCp1251(std::string_view bytes);
// The same, added to the end of a text; reuses the text's room, so a reader of many cells allocates once.
void AppendFromCp1251(QString& out, std::string_view bytes);
// A character that CP1251 cannot hold becomes "?".
std::string ToCp1251(const QString& text);
// The same, or nothing when a character of the text has no byte in CP1251.
std::optional<std::string> ToCp1251Exactly(const QString& text);
// UTF-8 to text with a leading U+FEFF kept, which QString::fromUtf8 drops as a byte-order mark.
QString FromUtf8KeepingMark(std::string_view bytes);
// The text of bytes that are UTF-8 beyond ASCII (a server's text quoting a file name as the file system spells
// it); nothing for any other bytes. Text in CP1251 beyond ASCII is hardly ever valid UTF-8.
std::optional<QString> FromUtf8BeyondAscii(std::string_view bytes);
