#pragma once

#include <QString>
#include <functional>
#include <string>

class QWidget;
struct TEscapedError;

// The one place where an error that escapes a command or a timer tick reaches the user: a modal box with the
// error icon, one OK button, the application title as caption and the message (8-bit text) under the
// full-stop rule.
void ShowErrorBox(QWidget* parent, const std::string& message);

// Runs a command; an error that escapes it is shown in the box and then forgotten, the silent EAbort shows
// nothing. An error that carries its text in UTF-8 too (a file name outside the code page) shows that text.
// The program goes on in the state the failed step left.
void RunShowingErrors(QWidget* parent, const std::function<void()>& command);

// The box's text of an error that escaped (under the full-stop rule), from its UTF-8 text when it has one;
// and the box with it, nothing for the silent EAbort.
QString EscapedErrorText(const TEscapedError& escaped);
void ShowEscapedError(QWidget* parent, const TEscapedError& escaped);
