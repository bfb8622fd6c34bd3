#pragma once

#include <QFile>
#include <gtest/gtest.h>
#include <string>

// Whole files as bytes, for tests that compare stored files byte for byte.
inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// "<no file>" when the file cannot be read.
inline std::string ReadFileBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("<no file>");
}
