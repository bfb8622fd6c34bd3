#pragma once

#include "probe/probe_messages.h"

#include <cstdint>
#include <string>
#include <vector>

// One option of the program, declared once: the command line, a --config file, the help text and the window's
// settings file all read it from here. A new option is a declaration below, a row in OptionTable(), the code
// that uses its value and a test.
struct TOption {
    const char* Name;             // without the leading "--"; a --config file names it so too
    const char* ValueName = "";   // empty for an option that takes no value
    const char* Help = "";        // one sentence without its "."; the range, default and settings key follow
    const char* Requires = "";    // an option that works only together with this one; empty when none
    bool CommandLineOnly = false; // a --config file may not give it (one that takes no value never can)
    // A whole number's range and default; Most is 0 for any other value.
    int32_t Least = 0;
    int32_t Most = 0;
    int32_t Default = 0;
    const char* DefaultText = ""; // the value of a text option that is not given, when it has one
    const char* SettingsKey = ""; // the window's key in [Form1] of its settings file; empty when it has none

    bool TakesValue() const { return *ValueName != '\0'; }
    bool IsNumber() const { return Most != 0; }
};

namespace Option {
inline constexpr TOption Help{.Name = "help", .Help = "Show this help and exit"};
inline constexpr TOption Version{.Name = "version", .Help = "Show the version and exit"};
inline constexpr TOption Journal{
    .Name = "journal",
    .ValueName = "PATH",
    .Help = "Keep a journal: each Start writes its rows to a new file, PATH with the "
            "start time before the extension",
    .SettingsKey = "Journal"};
inline constexpr TOption Headless{
    .Name = "headless",
    .Help = "Run the test without a window: rows go to standard output, errors and "
            "the summary to standard error; SIGTERM or SIGINT ends it, SIGHUP starts "
            "a new journal file"};
inline constexpr TOption DailyJournal{.Name = "daily-journal",
                                      .Help =
                                          "Also start a new journal file every day at local midnight, as the "
                                          "service does",
                                      .Requires = "headless"};
inline constexpr TOption Database{.Name = "database",
                                  .ValueName = "NAME",
                                  .Help = "The database as the client names it (host/port:/path/db.fdb)",
                                  .Requires = "headless"};
inline constexpr TOption User{
    .Name = "user", .ValueName = "NAME", .Help = "The user", .Requires = "headless", .DefaultText = "SYSDBA"};
inline constexpr TOption PasswordFile{.Name = "password-file",
                                      .ValueName = "PATH",
                                      .Help = "Read the password from the first line of PATH (else from the "
                                              "QUORVANE_PASSWORD variable)",
                                      .Requires = "headless"};
inline constexpr TOption Sql{.Name = "sql",
                             .ValueName = "TEXT",
                             .Help = "The statement",
                             .Requires = "headless",
                             .DefaultText = "select 1 from rdb$database"};
inline constexpr TOption SqlFile{
    .Name = "sql-file", .ValueName = "PATH", .Help = "Read the statement from PATH", .Requires = "headless"};
inline constexpr TOption Period{.Name = "period",
                                .ValueName = "SECONDS",
                                .Help = "Seconds from one cycle to the next",
                                .Requires = "headless",
                                .Least = 1,
                                .Most = 3600,
                                .Default = 10};
inline constexpr TOption Amount{.Name = "amount",
                                .ValueName = "COUNT",
                                .Help = "Executions per cycle",
                                .Requires = "headless",
                                .Least = 1,
                                .Most = 10000,
                                .Default = 10};
inline constexpr TOption Duration{.Name = "duration",
                                  .ValueName = "TIME",
                                  .Help = "Stop after TIME: seconds, or a number with s, m, h or d (90m, 7d)",
                                  .Requires = "headless"};
inline constexpr TOption Format{.Name = "format",
                                .ValueName = "FORMAT",
                                .Help =
                                    "Rows on standard output as tsv, the lines of a saved log (when not "
                                    "given), or jsonl, one JSON object a line; the journal keeps the saved "
                                    "log's format",
                                .Requires = "headless"};
inline constexpr TOption Config{.Name = "config",
                                .ValueName = "FILE",
                                .Help =
                                    "Read these options from FILE, one 'name = value' a line (database = "
                                    "host:/db.fdb), '#' for a comment; the command line wins over the file",
                                .Requires = "headless",
                                .CommandLineOnly = true};
inline constexpr TOption Metrics{.Name = "metrics",
                                 .ValueName = "HOST:PORT",
                                 .Help = "Serve the run's metrics to Prometheus on http://HOST:PORT/metrics",
                                 .SettingsKey = "Metrics"};
inline constexpr TOption MetricsUsers{
    .Name = "metrics-users",
    .ValueName = "FILE",
    .Help = "Serve the metrics only to the users of FILE, one 'user:<bcrypt "
            "hash>' a line (htpasswd -nB USER makes one); others are answered 401",
    .SettingsKey = "MetricsUsers"};
inline constexpr TOption Target{.Name = "target",
                                .ValueName = "NAME",
                                .Help =
                                    "The target the metrics and the jsonl rows name (the database when not "
                                    "given)"};
inline constexpr TOption CallLimit{.Name = "call-limit",
                                   .ValueName = "SECONDS",
                                   .Help =
                                       "Seconds a client call may wait for the server before it is cancelled",
                                   .Least = 1,
                                   .Most = 3600,
                                   .Default = kDefaultCallLimitSeconds,
                                   .SettingsKey = "CallLimit"};
} // namespace Option

// Every option, in the order of the help text.
const std::vector<TOption>& OptionTable();

// The option's line of help: its sentence, then its range, its default and its key in the window's settings.
std::string HelpSentence(const TOption& option);
// Where the window's settings file keeps the option (its form's section and the key).
std::string SettingsPath(const TOption& option);
// A whole number from the window's settings file, brought into the option's range as its editors do.
int32_t Clamped(const TOption& option, int64_t value);
// A whole number as the command line and a --config file give it; raises an Exception naming the range.
int32_t CheckedNumber(const TOption& option, const std::string& text);
