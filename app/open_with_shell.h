#pragma once

#include "core/exceptions.h"

#include <string>

class QWidget;

// What OpenWithShell raises; it carries only its message.
class EMyException : public Exception {
public:
    using Exception::Exception;
};

// The message for a shell answer in the classic numbering (values above 32 mean success); empty for every
// answer that counts as success.
std::string ShellAnswerMessage(int answer);

// The shell answer that corresponds to the way the desktop opener (xdg-open) ended: its exit code, or -1 when
// it could not be started at all.
int ShellAnswerFromOpenerExit(int exitCode);

// Opens a document or address with the desktop's default program; returns once the opener has accepted or
// refused it (without waiting for the opened program). Raises EMyException when it was refused.
void OpenWithShell(QWidget* ownerWindow, const std::string& address);
