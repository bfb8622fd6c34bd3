#include "app/headless_settings.h"

#include "app/command_line.h"
#include "core/exceptions.h"
#include "core/text_codec.h"
#include "metrics/metrics_users.h"

#include <QFile>
#include <cmath>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

namespace {
// Limits of the window's editors.
constexpr int32_t MaxPeriodSeconds = 3600;
constexpr int32_t MaxAmount = 10000;
constexpr int32_t MaxCallLimitSeconds = 3600;
// The files read at the start; a statement may be large, as a test of the link may want it.
constexpr int64_t MaxConfigBytes = 1 << 20;
constexpr int64_t MaxPasswordFileBytes = 1 << 16;
constexpr int64_t MaxStatementBytes = int64_t{128} << 20;

int32_t WholeNumber(const TCommandLine& commandLine, const std::string& name, int32_t fallback,
                    int32_t most) {
    if (!commandLine.IsSet(name))
        return fallback;
    bool ok = false;
    const int value = QString::fromStdString(commandLine.Value(name)).toInt(&ok);
    if (!ok || value < 1 || value > most)
        throw Exception(FormatText("option '--%s' takes a whole number from 1 to %d", name.c_str(), most));
    return value;
}

// A positive number with at most one unit; at least a millisecond (a run of 0 ms ends before it begins) and at
// most a year (a mistyped duration must not overflow into a negative one).
int64_t Duration(const std::string& text) {
    QString number = QString::fromStdString(text);
    int64_t unitMs = 1000;
    const std::pair<char, int64_t> units[] = {{'s', 1000}, {'m', 60000}, {'h', 3600000}, {'d', 86400000}};
    for (const auto& [suffix, ms] : units)
        if (number.endsWith(QChar(suffix))) {
            number.chop(1);
            unitMs = ms;
            break;
        }
    bool ok = false;
    const double ms = number.toDouble(&ok) * static_cast<double>(unitMs);
    if (!ok || !std::isfinite(ms) || ms < 1 || ms > 366.0 * 86400000)
        throw Exception("option '--duration' takes a time such as 3600, 90m, 12h or 7d");
    return static_cast<int64_t>(ms);
}

THeadlessSettings::TFormat Format(const TCommandLine& options) {
    const std::string name = options.IsSet("format") ? options.Value("format") : "tsv";
    if (name == "tsv")
        return THeadlessSettings::TFormat::Tsv;
    if (name == "jsonl")
        return THeadlessSettings::TFormat::Jsonl;
    throw Exception("option '--format' takes tsv or jsonl");
}

// Read with a bound, so that a device or a huge file given by mistake is refused instead of filling the memory.
QByteArray FileText(const std::string& option, const std::string& path, int64_t mostBytes) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception::FromUtf8(FormatText("option '--%s': cannot read \"%s\": %s", option.c_str(),
                                             path.c_str(), file.errorString().toStdString().c_str()));
    QByteArray text = file.read(mostBytes + 1);
    if (text.size() > mostBytes)
        throw Exception::FromUtf8(FormatText("option '--%s': \"%s\" is larger than %lld bytes", option.c_str(),
                                             path.c_str(), static_cast<long long>(mostBytes)));
    return text;
}

// The statement's lines as the window's memo gives them, in the code page.
std::vector<std::string> StatementLines(const QString& text) {
    QStringList lines = text.split('\n');
    for (QString& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    if (lines.size() > 1 && lines.back().isEmpty())
        lines.removeLast();
    std::vector<std::string> result;
    for (const QString& line : lines)
        result.push_back(ToCp1251(line));
    return result;
}

// A value from a settings file is refused as on the command line, with the file and the line in front.
[[noreturn]] void Refuse(const TCommandLine& options, const std::string& name, const Exception& error) {
    const std::string origin = options.Origin(name);
    if (origin.empty())
        throw error;
    throw Exception::FromUtf8(origin + ": " + (error.Utf8Message().empty() ? error.Message() : error.Utf8Message()));
}

template <typename Read>
auto Checked(const TCommandLine& options, const std::string& name, const Read& read) {
    try {
        return read();
    } catch (const Exception& error) {
        Refuse(options, name, error);
    }
}

bool IsUtf8(const std::string& text) {
    // Stateless: a sequence cut short at the end is an error too, not a beginning kept for more bytes.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString decoded =
        decoder(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    return !decoder.hasError();
}

// Served with a password check or not at all: metrics that were meant to be guarded are never served open.
std::shared_ptr<const TMetricsUsers> MetricsUsers(const TCommandLine& options) {
    if (options.Value("metrics").empty())
        throw Exception("option '--metrics-users' needs '--metrics'");
    return std::make_shared<const TMetricsUsers>(TMetricsUsers::FromFile(options.Value("metrics-users")));
}
} // namespace

THeadlessSettings ReadHeadlessSettings(const TCommandLine& commandLine, const char* passwordVariable) {
    TCommandLine options = commandLine;
    if (commandLine.IsSet("config")) {
        const std::string path = commandLine.Value("config");
        options.TakeFileValues(path, FileText("config", path, MaxConfigBytes).toStdString());
    }
    THeadlessSettings settings;
    TProbeStartRequest& request = settings.request;
    if (!options.IsSet("database") || options.Value("database").empty())
        Refuse(options, "database", Exception("option '--headless' needs '--database'"));
    request.DBName = options.Value("database");
    request.UserName = ToCp1251(QString::fromStdString(options.IsSet("user") ? options.Value("user") : "SYSDBA"));
    if (options.IsSet("password-file")) {
        const QByteArray text = Checked(options, "password-file",
                                        [&] { return FileText("password-file", options.Value("password-file"), MaxPasswordFileBytes); });
        request.Password = ToCp1251(QString::fromUtf8(text.left(text.indexOf('\n'))).remove('\r'));
    } else if (passwordVariable != nullptr) {
        request.Password = ToCp1251(QString::fromUtf8(passwordVariable));
    }
    if (options.IsSet("sql") && options.IsSet("sql-file"))
        Refuse(options, options.Origin("sql").empty() ? "sql-file" : "sql",
               Exception("options '--sql' and '--sql-file' exclude each other"));
    const std::string statementOption = options.IsSet("sql-file") ? "sql-file" : "sql";
    const QString statement = Checked(options, statementOption, [&] {
        const QString text =
            options.IsSet("sql-file")
                ? QString::fromUtf8(FileText("sql-file", options.Value("sql-file"), MaxStatementBytes))
                : QString::fromStdString(options.IsSet("sql") ? options.Value("sql") : "select 1 from rdb$database");
        // Every row of such a run would fail alike; the run is not worth starting.
        if (text.trimmed().isEmpty())
            throw Exception(FormatText("option '--%s' gives an empty statement", statementOption.c_str()));
        // The client library would send the statement only up to it, and the rest would go unseen.
        if (text.contains(QChar(0)))
            throw Exception(FormatText("option '--%s' gives a statement with a NUL byte", statementOption.c_str()));
        return text;
    });
    request.SQL = StatementLines(statement);
    const auto number = [&](const std::string& name, int32_t fallback, int32_t most) {
        return Checked(options, name, [&] { return WholeNumber(options, name, fallback, most); });
    };
    request.PeriodMs = static_cast<uint32_t>(number("period", 10, MaxPeriodSeconds)) * 1000;
    request.JournalPath = options.Value("journal");
    settings.dailyJournal = options.IsSet("daily-journal");
    // A probe nobody watches keeps trying when the server is down at its start.
    request.StartInOutage = true;
    settings.amount = number("amount", 10, MaxAmount);
    if (options.IsSet("duration"))
        settings.durationMs = Checked(options, "duration", [&] { return Duration(options.Value("duration")); });
    settings.format = Checked(options, "format", [&] { return Format(options); });
    request.CallLimitMs = static_cast<uint32_t>(Checked(options, "call-limit", [&] {
                              return CallLimitSeconds(options);
                          })) * 1000;
    settings.metricsAddress = options.Value("metrics");
    if (options.IsSet("metrics-users"))
        settings.metricsUsers = Checked(options, "metrics-users", [&] { return MetricsUsers(options); });
    Checked(options, "target", [&] { CheckTargetText(options); });
    settings.target = options.IsSet("target") ? options.Value("target") : request.DBName;
    if (!IsUtf8(settings.target))
        Refuse(options, "database",
               Exception("option '--database' is not UTF-8 text; name the run with '--target'"));
    return settings;
}

std::string TargetName(const THeadlessSettings& settings) { return settings.target; }

int32_t CallLimitSeconds(const TCommandLine& commandLine) {
    return WholeNumber(commandLine, "call-limit", kDefaultCallLimitSeconds, MaxCallLimitSeconds);
}

void CheckTargetText(const TCommandLine& commandLine) {
    if (commandLine.IsSet("target") && !IsUtf8(commandLine.Value("target")))
        throw Exception("option '--target' takes UTF-8 text");
}
