#include "core/component.h"
#include "core/error_box.h"
#include "core/exceptions.h"

#include <gtest/gtest.h>

TEST(ErrorBoxText, AppendsAFullStopOnlyAfterCharactersThatSortAfterTheDot) {
    EXPECT_EQ(ErrorBoxText("DB is not open"), "DB is not open.");
    EXPECT_EQ(ErrorBoxText("Done."), "Done.");
    EXPECT_EQ(ErrorBoxText(""), "");
    EXPECT_EQ(ErrorBoxText("Form1.qry1:\r\nsome error\r\n"), "Form1.qry1:\r\nsome error\r\n");
    EXPECT_EQ(ErrorBoxText("ends with a blank "), "ends with a blank ");
    EXPECT_EQ(ErrorBoxText("ends with a comma,"), "ends with a comma,");
    EXPECT_EQ(ErrorBoxText("code 42"), "code 42.");
    EXPECT_EQ(ErrorBoxText("\xCE\xF8\xE8\xE1\xEA\xE0"), "\xCE\xF8\xE8\xE1\xEA\xE0."); // CP1251 letters
}

TEST(ApplicationTitle, IsTheFileNameWithoutDirectoryAndExtensionCapitalised) {
    EXPECT_EQ(ApplicationTitle("/usr/local/bin/quorvane"), "Quorvane");
    EXPECT_EQ(ApplicationTitle("/opt/QUORVANE.EXE"), "Quorvane");
    EXPECT_EQ(ApplicationTitle("quorvane.bin"), "Quorvane");
    EXPECT_EQ(ApplicationTitle("/x.y/tool"), "Tool");
}

TEST(Component, FullNameJoinsNamedOwnersOutermostFirst) {
    TComponent form(nullptr, "Form1");
    TComponent unnamed(&form);
    TComponent database(&form, "FDB");
    TComponent inner(&unnamed, "qry1");
    EXPECT_EQ(database.FullName(), "Form1.FDB");
    EXPECT_EQ(inner.FullName(), "Form1.qry1");
    EXPECT_EQ(form.FullName(), "Form1");
}

TEST(Exceptions, CarryTheSystemsMessages) {
    EXPECT_EQ(EConvertError::InvalidInteger("abc").Message(), "'abc' is not a valid integer value");
    EXPECT_EQ(EConvertError::InvalidFloat("1,2,3").Message(), "'1,2,3' is not a valid floating point value");
    EXPECT_EQ(EConvertError::InvalidDateTime("32/01").Message(), "'32/01' is not a valid date and time");
    EXPECT_EQ(EOSError(127, "undefined symbol: isc_que_events").Message(),
              "System Error.  Code: 127.\r\nundefined symbol: isc_que_events");
    EXPECT_EQ(EOSError(0, "").Message(), "A call to an OS function failed");
    EXPECT_EQ(FormatText("%s %d %.8x", "a", -5, 335544344u), "a -5 14000018");
}

TEST(Exceptions, AMessageInUtf8KeepsWhatTheCodePageLacks) {
    const Exception named = Exception::FromUtf8("Cannot create file \"/tmp/日本/café.txt\". No such file");
    EXPECT_EQ(named.Message(), "Cannot create file \"/tmp/\?\?/caf?.txt\". No such file");
    EXPECT_EQ(named.Utf8Message(), "Cannot create file \"/tmp/日本/café.txt\". No such file");

    // Text the code page holds needs nothing more: the message is its CP1251 bytes.
    const Exception cyrillic = Exception::FromUtf8("Нет файла");
    EXPECT_EQ(cyrillic.Message(), "\xcd\xe5\xf2 \xf4\xe0\xe9\xeb\xe0");
    EXPECT_EQ(cyrillic.Utf8Message(), "");

    // A new message replaces both texts.
    Exception changed = named;
    changed.SetMessage("other");
    EXPECT_EQ(changed.Utf8Message(), "");
}
