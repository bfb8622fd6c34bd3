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
    // Where the metrics are served (HOST:PORT); empty for nowhere.
    std::string metricsAddress;
    std::string target; // the metrics' target label
};

// Reads the run's settings from the command line; the password comes from --password-file or else from the
// environment's QUORVANE_PASSWORD (passwordVariable), never from the command line, which every user of the
// machine can read. Raises an Exception with a one-line message for an option that is wrong.
THeadlessSettings ReadHeadlessSettings(const TCommandLine& commandLine, const char* passwordVariable);

// --call-limit in seconds (30 when not given), for the window as for the headless run; raises an Exception
// for a value out of 1 to 3600.
int32_t CallLimitSeconds(const TCommandLine& commandLine);
