#include "core/text_codec.h"

#include <gtest/gtest.h>

TEST(Cp1251, EveryByteOfTheCodePageRoundTrips) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(ToCp1251(FromCp1251(all)), all);
    EXPECT_EQ(ToCp1251Exactly(FromCp1251(all)), all);
    // The one byte CP1251 leaves undefined stands for the control character of the same number.
    EXPECT_EQ(FromCp1251("\x98"), QString(QChar(0x98)));
}

TEST(Cp1251, CyrillicAndPunctuationMapBothWays) {
    const QString text = QString::fromUtf8("Ошибка №5 — «тест» €");
    const std::string bytes = ToCp1251(text);
    EXPECT_EQ(bytes, "\xCE\xF8\xE8\xE1\xEA\xE0 \xB9" "5 \x97 \xAB\xF2\xE5\xF1\xF2\xBB \x88");
    EXPECT_EQ(FromCp1251(bytes), text);
}

TEST(Cp1251, CharactersOutsideTheCodePageBecomeQuestionMarksWithoutLosingTheRest) {
    const QString text = QString::fromUtf8("a中b😀c") + QChar(0xD800) + "d";
    EXPECT_EQ(ToCp1251(text), "a?b?c?d");
    EXPECT_EQ(ToCp1251(QString()), "");
    EXPECT_EQ(ToCp1251Exactly(text), std::nullopt);
    EXPECT_EQ(ToCp1251Exactly(QString::fromUtf8("caf\u00e9")), std::nullopt);
    EXPECT_EQ(ToCp1251Exactly(QString()), "");
    EXPECT_EQ(FromCp1251(std::string("a\0b", 3)), QString::fromUtf8("a\0b", 3));
}

// A server's text is UTF-8 when it quotes a file name so; text in the code page is not taken for it.
TEST(Utf8BeyondAscii, IsReadOnlyFromValidUtf8ThatIsNotPlainAscii) {
    EXPECT_EQ(FromUtf8BeyondAscii("caf\xC3\xA9 \xD0\xBD"), QString::fromUtf8("café н"));
    EXPECT_EQ(FromUtf8BeyondAscii("plain"), std::nullopt);
    EXPECT_EQ(FromUtf8BeyondAscii("\xCE\xF8\xE8\xE1\xEA\xE0"), std::nullopt); // CP1251 letters
}
