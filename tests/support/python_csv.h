#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>
#include <vector>

// A saved log as its readers see it: Python's csv module with a tab and the double quote, the file read in
// the code page. Empty, with a failure recorded, when Python cannot read it.
inline std::vector<QStringList> PythonCsvRows(const QString& path) {
    QProcess python;
    python.start("python3", {"-c", "import csv, json, sys\n"
                                   "with open(sys.argv[1], newline='', encoding='cp1251') as f:\n"
                                   "    print(json.dumps(list(csv.reader(f, delimiter='\\t', quotechar='\"'))))\n",
                             path});
    std::vector<QStringList> rows;
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        ADD_FAILURE() << "python3 cannot read " << path.toStdString() << ": "
                      << python.readAllStandardError().toStdString();
        return rows;
    }
    for (const auto& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList values;
        for (const auto& value : row.toArray())
            values << value.toString();
        rows.push_back(values);
    }
    return rows;
}
