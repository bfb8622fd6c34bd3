#pragma once

#include "app/option_table.h"
#include "probe/probe_messages.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class TCommandLine;
class TMetricsUsers;

// What a run without a window is told: the start request as the window would make it, the Amount and how
// long to run (until a termination signal when not given).
struct THeadlessSettings {
    // How the rows reach standard output: lines of a saved log, or one JSON object a line.
    enum class TFormat { Tsv, Jsonl };

    TProbeStartRequest request;
    TFormat format = TFormat::Tsv;
    int32_t amount = Option::Amount.Default;
    std::optional<int64_t> durationMs;
    bool dailyJournal = false; // a new journal file at each local midnight
    // Where the metrics are served (HOST:PORT); empty for nowhere.
    std::string metricsAddress;
    std::string target; // the metrics' target label
    // Who may read the metrics (--metrics-users); null for anyone.
    std::shared_ptr<const TMetricsUsers> metricsUsers;
};

// Reads the run's settings from the command line and the settings file of --config, whose values yield to the
// command line's and are checked as they are (a refusal names the file and the line); the password comes from --password-file or else from the
// environment's QUORVANE_PASSWORD (passwordVariable), never from the command line, which every user of the
// machine can read. Raises an Exception with a one-line message for an option that is wrong.
THeadlessSettings ReadHeadlessSettings(const TCommandLine& commandLine, const char* passwordVariable);

// What the rows of a run name as tested (their "target"): the database as given (UTF-8).
std::string TargetName(const THeadlessSettings& settings);
// Raises an Exception for a --target that is not UTF-8 text: every scrape of its label and every jsonl row
// naming it would be refused as invalid.
void CheckTargetText(const TCommandLine& commandLine);
