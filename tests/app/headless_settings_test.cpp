#include "app/command_line.h"
#include "app/headless_run.h"
#include "app/run_summary.h"
#include "core/date_time.h"
#include "core/exceptions.h"
#include "log/log_statistics.h"
#include "log/mem_table.h"
#include "log/outage_timeline.h"
#include "probe/outage_ledger.h"
#include "metrics/metrics_users.h"
#include "tests/support/file_bytes.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
TCommandLine Parsed(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"quorvane", "--headless"});
    return TCommandLine(arguments);
}

std::string RefusalOf(std::vector<std::string> arguments, const char* password = nullptr) {
    const TCommandLine commandLine = Parsed(std::move(arguments));
    if (!commandLine.Error().empty())
        return commandLine.Error();
    try {
        ReadHeadlessSettings(commandLine, password);
    } catch (const Exception& error) {
        return error.Message();
    }
    return "accepted";
}
} // namespace

TEST(HeadlessSettings, TakeTheWindowsDefaultsAndThePasswordNeverFromTheCommandLine) {
    const THeadlessSettings plain = ReadHeadlessSettings(Parsed({"--database", "host/3050:/db/Журнал.fdb"}), "s3cret");
    EXPECT_EQ(plain.request.DBName, "host/3050:/db/Журнал.fdb"); // a file name, kept in UTF-8
    EXPECT_EQ(plain.request.UserName, "SYSDBA");
    EXPECT_EQ(plain.request.Password, "s3cret");
    EXPECT_EQ(plain.request.SQL, std::vector<std::string>{"select 1 from rdb$database"});
    EXPECT_EQ(plain.request.PeriodMs, 10000u);
    EXPECT_EQ(plain.request.JournalPath, "");
    EXPECT_EQ(plain.amount, 10);
    EXPECT_EQ(plain.durationMs, std::nullopt);

    QTemporaryDir dir;
    const std::string passwordFile = dir.filePath("password").toStdString();
    const std::string sqlFile = dir.filePath("probe.sql").toStdString();
    WriteFileBytes(passwordFile, "p\xD0\xB0ss\r\nsecond line\n"); // a Cyrillic a
    WriteFileBytes(sqlFile, "select 'й'\r\nfrom rdb$database\n");
    const THeadlessSettings full = ReadHeadlessSettings(
        Parsed({"--database", "db", "--user", "Пётр", "--password-file", passwordFile, "--sql-file", sqlFile,
                "--period=3600", "--amount", "10000", "--journal", "run.tsv", "--duration", "7d"}),
        "ignored");
    EXPECT_EQ(full.request.UserName, "\xCF\xB8\xF2\xF0"); // in the code page, as the window sends it
    EXPECT_EQ(full.request.Password, "p\xE0ss");
    EXPECT_EQ(full.request.SQL, (std::vector<std::string>{"select '\xE9'", "from rdb$database"}));
    EXPECT_EQ(full.request.PeriodMs, 3600000u);
    EXPECT_EQ(full.request.JournalPath, "run.tsv");
    EXPECT_EQ(full.amount, 10000);
    EXPECT_EQ(full.durationMs, int64_t{7} * 86400000);

    for (const auto& [duration, ms] : {std::pair{"90", 90000}, {"90s", 90000}, {"1.5m", 90000}, {"2h", 7200000}})
        EXPECT_EQ(ReadHeadlessSettings(Parsed({"--database", "db", "--duration", duration}), nullptr).durationMs, ms)
            << duration;
}

TEST(HeadlessSettings, AWrongOptionIsRefusedInOneLine) {
    EXPECT_EQ(RefusalOf({}), "option '--headless' needs '--database'");
    EXPECT_EQ(RefusalOf({"--database", "db", "--period", "0"}), "option '--period' takes a whole number from 1 to 3600");
    EXPECT_EQ(RefusalOf({"--database", "db", "--period", "3601"}),
              "option '--period' takes a whole number from 1 to 3600");
    EXPECT_EQ(RefusalOf({"--database", "db", "--amount", "ten"}),
              "option '--amount' takes a whole number from 1 to 10000");
    EXPECT_EQ(RefusalOf({"--database", "db", "--duration", "-5"}),
              "option '--duration' takes a time such as 3600, 90m, 12h or 7d");
    // Not a positive finite number, less than a millisecond, or more than one unit.
    for (const char* duration : {"9999d", "nan", "inf", "0.0001", "1e-300", "500ms", "1ds", "1hs", ""})
        EXPECT_EQ(RefusalOf({"--database", "db", "--duration", duration}),
                  "option '--duration' takes a time such as 3600, 90m, 12h or 7d")
            << duration;
    EXPECT_EQ(RefusalOf({"--database", "db", "--sql", " \n"}), "option '--sql' gives an empty statement");
    QTemporaryDir dir;
    WriteFileBytes(dir.filePath("empty.sql").toStdString(), "");
    EXPECT_EQ(RefusalOf({"--database", "db", "--sql-file", dir.filePath("empty.sql").toStdString()}),
              "option '--sql-file' gives an empty statement");
    EXPECT_EQ(RefusalOf({"--database", "db", "extra"}), "unexpected argument 'extra'");
    EXPECT_EQ(RefusalOf({"-database", "db"}), "unknown option '-database' (did you mean '--database'?)");
    EXPECT_EQ(RefusalOf({"--database", "db", "-platform", "offscreen"}), "unknown option '-platform'");
    EXPECT_EQ(RefusalOf({"--database", "db", "--sql", "x", "--sql-file", "y"}),
              "options '--sql' and '--sql-file' exclude each other");
    EXPECT_EQ(RefusalOf({"--database", "db", "--password-file", "/no/such/file"}),
              "option '--password-file': cannot read \"/no/such/file\": No such file or directory");
    EXPECT_EQ(RefusalOf({"--database", "db", "--password", "x"}), "unknown option '--password'");
    // A device or a huge file is refused at its bound instead of filling the memory; a NUL never cuts a
    // statement or a value short unseen.
    EXPECT_EQ(RefusalOf({"--database", "db", "--config", "/dev/zero"}),
              "option '--config': \"/dev/zero\" is larger than 1048576 bytes");
    EXPECT_EQ(RefusalOf({"--database", "db", "--password-file", "/dev/zero"}),
              "option '--password-file': \"/dev/zero\" is larger than 65536 bytes");
    EXPECT_EQ(RefusalOf({"--database", "db", "--sql-file", "/dev/zero"}),
              "option '--sql-file': \"/dev/zero\" is larger than 134217728 bytes");
    WriteFileBytes(dir.filePath("nul.sql").toStdString(),
                   std::string("select 1 from rdb$database\0 where no_such_column = 1", 52));
    EXPECT_EQ(RefusalOf({"--database", "db", "--sql-file", dir.filePath("nul.sql").toStdString()}),
              "option '--sql-file' gives a statement with a NUL byte");
    EXPECT_EQ(RefusalOf({"--database", "db", "--format", "csv"}), "option '--format' takes tsv or jsonl");
    // A label or a JSON string that is not UTF-8 would spoil every scrape and every row.
    EXPECT_EQ(RefusalOf({"--database", "db", "--target", "caf\xE9"}), "option '--target' takes UTF-8 text");
    EXPECT_EQ(RefusalOf({"--database", "/srv/caf\xE9.fdb"}),
              "option '--database' is not UTF-8 text; name the run with '--target'");
    EXPECT_EQ(RefusalOf({"--database", "/srv/caf\xE9.fdb", "--target", "caf\xC3\xA9"}), "accepted");
    EXPECT_EQ(RefusalOf({"--database", "db", "--metrics-users", "users"}), "option '--metrics-users' needs '--metrics'");
    EXPECT_EQ(TCommandLine({"quorvane", "--period", "5"}).Error(), "option '--period' needs '--headless'");
    EXPECT_EQ(TCommandLine({"quorvane", "--journal", "run.tsv"}).Error(), "");
}

// The file's values are read as the command line's, which wins; a wrong line is named by its file and number.
TEST(HeadlessSettings, ASettingsFileGivesWhatTheCommandLineDoesNot) {
    QTemporaryDir dir;
    const std::string config = dir.filePath("prod.conf").toStdString();
    WriteFileBytes(config, "# the production database\r\n\n database = dbhost/3050:/srv/db/prod.fdb\r\n"
                           "user=Пётр\nperiod = 3600\namount = 7 \nsql = select '#' from rdb$database\n");
    const THeadlessSettings settings = ReadHeadlessSettings(Parsed({"--config", config, "--amount", "9"}), nullptr);
    EXPECT_EQ(settings.request.DBName, "dbhost/3050:/srv/db/prod.fdb");
    EXPECT_EQ(settings.request.UserName, "\xCF\xB8\xF2\xF0");
    EXPECT_EQ(settings.request.PeriodMs, 3600000u);
    EXPECT_EQ(settings.amount, 9);
    EXPECT_EQ(settings.request.SQL, std::vector<std::string>{"select '#' from rdb$database"});

    const auto refusal = [&](const std::string& text, std::vector<std::string> arguments = {}) {
        WriteFileBytes(config, "database = db\n" + text);
        arguments.insert(arguments.begin(), {"--config", config});
        return RefusalOf(arguments);
    };
    EXPECT_EQ(refusal("# fine\nperiod = 0\n"), config + ":3: option '--period' takes a whole number from 1 to 3600");
    EXPECT_EQ(refusal("period = 0\n", {"--period", "5"}), "accepted");
    EXPECT_EQ(refusal("duration = soon\n"),
              config + ":2: option '--duration' takes a time such as 3600, 90m, 12h or 7d");
    EXPECT_EQ(refusal("sql-file = /no/such/file\n"),
              config + ":2: option '--sql-file': cannot read \"/no/such/file\": No such file or directory");
    EXPECT_EQ(refusal("periods = 5\n"), config + ":2: unknown option 'periods'");
    EXPECT_EQ(refusal("password = s3cret\n"),
              config + ":2: a password is never read from this file; name a 'password-file'");
    EXPECT_EQ(refusal("headless = yes\n"), config + ":2: option 'headless' is given on the command line only");
    EXPECT_EQ(refusal("amount 5\n"), config + ":2: a line is 'name = value' or a '#' comment");
    EXPECT_EQ(refusal(std::string("period = 3\0junk\n", 16)), config + ":2: a line holds a NUL byte");
    EXPECT_EQ(refusal("user = a\nuser = b\n"), config + ":3: option 'user' is given twice (first at " + config + ":2)");
    EXPECT_EQ(refusal("metrics = 127.0.0.1:0\nmetrics-users = /no/such/users\n"),
              config + ":3: metrics users: cannot read \"/no/such/users\": No such file or directory");
    const std::string users = dir.filePath("users").toStdString();
    WriteFileBytes(users, "ops:$2y$04$ttCZVP3vgZ1lGNxaKFohKOdFfy3k1TBrzf8Hk9Yt5FCEIKNbJlsIu\n");
    WriteFileBytes(config, "database = db\nmetrics = 127.0.0.1:0\nmetrics-users = " + users + "\n");
    const auto guarded = ReadHeadlessSettings(Parsed({"--config", config}), nullptr).metricsUsers;
    ASSERT_NE(guarded, nullptr);
    EXPECT_TRUE(guarded->Accepts("ops", "s3cret pass"));
    // The example the package ships is read as it stands.
    const std::string example = QUORVANE_SOURCE_DIR "/packaging/prod.conf.example";
    EXPECT_EQ(ReadHeadlessSettings(Parsed({"--config", example}), nullptr).request.DBName, "dbhost/3050:/srv/db/prod.fdb");
    EXPECT_EQ(RefusalOf({"--config", "/no/such.conf"}),
              "option '--config': cannot read \"/no/such.conf\": No such file or directory");
}

TEST(RunSummary, CountsTheRowsAndListsEachOutageWithItsTimesAndCause) {
    TMemTable table;
    const TDateTime day = EncodeDate(2026, 12, 9);
    const auto at = [&](int second, int milliseconds = 0) {
        return day + (16 * 3600 + 31 * 60 + second + milliseconds / 1000.0) / 86400;
    };
    const auto ms = [](TDateTime time) { return TOutageLedger::Ms(time); };
    TOutageTimeline timeline(1000);
    timeline.Begin(ms(at(4)));
    for (const int value : {4, 2, 9}) {
        table.AppendRecord({.Time = at(value), .Value = value, .Error = "", .Cause = std::nullopt});
        timeline.Row(ms(at(value)), std::nullopt);
    }
    const TFailure lost{TFailureCause::Network, "Error reading data from the connection."};
    table.AppendRecord({.Time = at(10, 250), .Value = 5012, .Error = "Form1.qry1:\r\nlost", .Cause = lost.cause});
    timeline.Row(ms(at(10, 250)), lost);
    table.AppendRecord({.Time = at(30), .Value = 7, .Error = "", .Cause = std::nullopt});
    timeline.Row(ms(at(30)), std::nullopt);
    timeline.End(ms(at(31)));
    TLogStatistics statistics;
    statistics.Rebuild(table);
    EXPECT_EQ(RunSummary(statistics, timeline, 0),
              "Rows: 5\n"
              "Failed rows: 1\n"
              "Availability: 22.222 % of the run's time (outages 21.000 s of 27.000 s)\n"
              "Elapsed ms: min 2, median 5.5, p95 9, max 9\n"
              "Outages: 1\n"
              "  2026-12-09 16:31:09.000 to 2026-12-09 16:31:30.000 (21.000 s, 1 failed rows): network \u2014 "
              "Error reading data from the connection.\n");
    statistics.Rebuild(TMemTable());
    EXPECT_EQ(RunSummary(statistics, TOutageTimeline(), 0),
              "Rows: 0\nFailed rows: 0\nAvailability: -\nElapsed ms: -\nOutages: 0\n");
}
