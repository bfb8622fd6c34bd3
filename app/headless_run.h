#pragma once

#include "probe/probe_messages.h"

#include <cstdint>
#include <optional>
#include <string>

class TCommandLine;

// What a run without a window is told: the start request as the window would make it, the Amount and how
// long to run (until a termination signal when not given).
struct THeadlessSettings {
    TProbeStartRequest request;
    int32_t amount = 10;
    std::optional<int64_t> durationMs;
};

// Reads the run's settings from the command line; the password comes from --password-file or else from the
// environment's QUORVANE_PASSWORD (passwordVariable), never from the command line, which every user of the
// machine can read. Raises an Exception with a one-line message for an option that is wrong.
THeadlessSettings ReadHeadlessSettings(const TCommandLine& commandLine, const char* passwordVariable);

// The test without a window, with the window's engine and the window's rows: each row goes to standard output
// as a line of a saved log (the header first), errors to standard error as the window's box would show them.
// A Start that fails ends it with status 1; the end of the duration or SIGTERM, SIGINT or SIGHUP stop the run,
// write a summary to standard error and end it with status 0. Needs an application object (no display).
int RunHeadless(const THeadlessSettings& settings);
