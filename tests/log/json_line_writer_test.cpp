#include "log/json_line_writer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

// The server's time with the offset of its own moment (summer and winter differ), the code page's text in
// UTF-8, and every character JSON must escape escaped, so that a strict parser reads the text back whole.
TEST(JsonLineWriter, WritesOneJsonObjectALineWithTheTimesOffsetAndTheTextInUtf8) {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    const TJsonLineWriter writer("dbhost/3050:/srv/db/\xD0\xBF\xD1\x80\xD0\xBE\xD0\xB4.fdb \"main\"");
    const TDateTime winter = EncodeDateTime({2026, 12, 10}, {11, 3, 22, 123});
    EXPECT_EQ(writer.RowLine({winter, 12, "", std::nullopt}),
              "{\"time\": \"2026-12-10T11:03:22.123+01:00\", \"elapsed_ms\": 12, \"error\": null, \"cause\": null, "
              "\"target\": \"dbhost/3050:/srv/db/\xD0\xBF\xD1\x80\xD0\xBE\xD0\xB4.fdb \\\"main\\\"\"}\n");

    const std::string error = "Form1.qry1: \xCF\xF0\xEE\xE4 lost\r\n\t\"C:\\db\" \x01";
    const std::string line = writer.RowLine({EncodeDateTime({2026, 7, 1}, {0, 0, 0, 5}), -3, error, TFailureCause::Network});
    EXPECT_EQ(line.find('\r'), std::string::npos);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_NE(line.find("\"time\": \"2026-07-01T00:00:00.005+02:00\", \"elapsed_ms\": -3, \"error\": \"Form1.qry1: "
                        "\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB4 lost\\r\\n\\t\\\"C:\\\\db\\\" \\u0001\""),
              std::string::npos)
        << line;
    QJsonParseError parse{};
    const QJsonObject read = QJsonDocument::fromJson(QByteArray::fromStdString(line), &parse).object();
    ASSERT_EQ(parse.error, QJsonParseError::NoError) << line;
    EXPECT_EQ(read["error"].toString(), QString::fromUtf8("Form1.qry1: Прод lost\r\n\t\"C:\\db\" \x01"));
    EXPECT_EQ(read["cause"].toString(), "network");
    EXPECT_EQ(read.keys(), (QStringList{"cause", "elapsed_ms", "error", "target", "time"}));

    // 02:30 of the last Sunday of March is skipped by the local clock: the digits stay, under the winter offset.
    EXPECT_EQ(writer.RowLine({EncodeDateTime({2026, 3, 29}, {2, 30, 0, 7}), 1, "", std::nullopt}).substr(0, 40),
              "{\"time\": \"2026-03-29T02:30:00.007+01:00\"");
}
