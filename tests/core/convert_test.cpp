#include "core/convert.h"
#include "core/exceptions.h"

#include <gtest/gtest.h>

TEST(StrToInt, ReadsNumbersAsThePlatformDoes) {
    EXPECT_EQ(StrToInt("42"), 42);
    EXPECT_EQ(StrToInt("  -7"), -7);
    EXPECT_EQ(StrToInt("+3"), 3);
    EXPECT_EQ(StrToInt("$FF"), 255);
    EXPECT_EQ(StrToInt("0x10"), 16);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
    // Hexadecimal is the 32-bit pattern, negated with wrap-around (undefined behaviour once, under UBSan).
    EXPECT_EQ(StrToInt("-$80000000"), INT32_MIN);
    EXPECT_EQ(StrToInt("-0x80000000"), INT32_MIN);
    EXPECT_EQ(StrToInt("-$FFFFFFFF"), 1);
}

TEST(StrToInt, RefusesWhatDoesNotConvertWithThePlatformsMessage) {
    for (const char* bad : {"", " ", "abc", "12 ", "1.5", "2147483648", "-", "$", "99999999999"}) {
        int32_t value = 123;
        EXPECT_FALSE(TryStrToInt(bad, value)) << bad;
        EXPECT_EQ(value, 123) << bad;
    }
    try {
        StrToInt("abc");
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
    }
}
