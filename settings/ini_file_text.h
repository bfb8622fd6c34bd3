#pragma once

#include <QByteArray>
#include <optional>
#include <string>

// The settings file's bytes and the document's text, which is UTF-8 so that it can hold whatever the user
// typed.
//
// A file that starts with the UTF-8 byte-order mark (as many editors save it) is UTF-8; any other is CP1251.
// None for bytes that are not such a text (a NUL byte, which UTF-16 and binary files have; a UTF-16 mark;
// the UTF-8 mark before bytes that are not UTF-8): read as one, they would come back rewritten as garbage.
std::optional<std::string> IniTextFromFileBytes(const QByteArray& bytes);
// CP1251 without a mark, byte for byte what the program has always written, when the code page has every
// character of the text; otherwise the mark and UTF-8, so that a name like /home/josé/db.fdb is kept.
QByteArray IniFileBytesFromText(const std::string& text);
