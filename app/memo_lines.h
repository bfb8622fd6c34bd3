#pragma once

#include <QStringList>
#include <string>
#include <vector>

// A statement's text as the lines of the window's memo, the one rule for the window's Start, its settings
// file and the run without a window: lines end at "\n" (a "\r" before it goes too, for a file written
// elsewhere), and an empty last line does not count, as the platform counts a memo's lines: "select 1\n" is
// one line and an empty memo has none.
QStringList MemoLines(const QString& text);
// The memo's text of such lines.
QString MemoText(const QStringList& lines);
// The lines as the run sends them, in the code page.
std::vector<std::string> StatementLines(const QString& text);
