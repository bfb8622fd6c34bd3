#pragma once

#include <QByteArray>
#include <string>

// The settings file's bytes and the document's text, which is UTF-8 so that it can hold whatever the user
// typed.
//
// A file that starts with the UTF-8 byte-order mark (as many editors save it) is UTF-8; any other is CP1251.
std::string IniTextFromFileBytes(const QByteArray& bytes);
// CP1251 without a mark, byte for byte what the program has always written, when the code page has every
// character of the text; otherwise the mark and UTF-8, so that a name like /home/josé/db.fdb is kept.
QByteArray IniFileBytesFromText(const std::string& text);
