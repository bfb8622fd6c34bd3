#pragma once

#include <cstdint>
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
