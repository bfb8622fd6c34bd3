#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The thin layer over the operating system; the rest of the code calls these, never the OS directly.

// Milliseconds since an arbitrary start, wrapping at 2^32 (subtract two readings as uint32_t).
uint32_t timeGetTime();

// The measurement asks for a 1 ms timer resolution and gives it back. Linux timers are already that fine,
// so these only check that the calls come in pairs.
void timeBeginPeriod(unsigned periodMs);
void timeEndPeriod(unsigned periodMs);
int TimerResolutionRequests(); // outstanding timeBeginPeriod calls

// Back to the program's default floating-point settings (rounding, masked exceptions); loading the client
// library or calling into it may change them.
void ResetFloatingPointControl();

// Full path of the running executable, and its directory with a trailing "/".
std::string ExecutablePath();
std::string ExecutableDirectory();

// Writing to a pipe whose reader has gone fails with an error instead of ending the program.
void IgnoreBrokenPipes();

// A process that holds a password makes no core file and cannot be read by a debugger of the same user.
void ForbidCoreDumps();

// The variable's value, which then leaves the environment and the memory it came in (what /proc and a core
// file would show); none when it is not set.
std::optional<std::string> TakeSecretVariable(const char* name);

// The client library converts database file names between UTF-8 and the character set of the environment's
// locale, which it reads from the environment itself; under C, or with no locale at all (cron, a service),
// that is ASCII and a name beyond it fails. So the character type becomes UTF-8 for the whole process when it
// is not; the other categories keep what the environment gave them. Called first thing in main.
void UseUtf8CharacterType();
