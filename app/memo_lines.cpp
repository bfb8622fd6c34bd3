#include "app/memo_lines.h"

#include "core/text_codec.h"

QStringList MemoLines(const QString& text) {
    QStringList lines = text.split('\n');
    for (QString& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    if (lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

QString MemoText(const QStringList& lines) {
    return lines.join('\n');
}

std::vector<std::string> StatementLines(const QString& text) {
    std::vector<std::string> result;
    for (const QString& line : MemoLines(text))
        result.push_back(ToCp1251(line));
    return result;
}
