#include "app/headless_settings.h"

#include "app/command_line.h"
#include "app/memo_lines.h"
#include "app/option_table.h"
#include "core/exceptions.h"
#include "core/text_codec.h"
#include "metrics/metrics_users.h"

#include <QFile>
#include <cmath>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

namespace {
// The files read at the start; a statement may be large, as a test of the link may want it.
constexpr int64_t MaxConfigBytes = 1 << 20;
constexpr int64_t MaxPasswordFileBytes = 1 << 16;
constexpr int64_t MaxStatementBytes = int64_t{128} << 20;

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
    const std::string name = options.IsSet(Option::Format) ? options.Value(Option::Format) : "tsv";
    if (name == "tsv")
        return THeadlessSettings::TFormat::Tsv;
    if (name == "jsonl")
        return THeadlessSettings::TFormat::Jsonl;
    throw Exception("option '--format' takes tsv or jsonl");
}

// Read with a bound, so that a device or a huge file given by mistake is refused instead of filling the memory.
QByteArray FileText(const TOption& option, const std::string& path, int64_t mostBytes) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception::FromUtf8(FormatText("option '--%s': cannot read \"%s\": %s", option.Name,
                                             path.c_str(), file.errorString().toStdString().c_str()));
    QByteArray text = file.read(mostBytes + 1);
    if (text.size() > mostBytes)
        throw Exception::FromUtf8(FormatText("option '--%s': \"%s\" is larger than %lld bytes", option.Name,
                                             path.c_str(), static_cast<long long>(mostBytes)));
    return text;
}

// A value from a settings file is refused as on the command line, with the file and the line in front.
[[noreturn]] void Refuse(const TCommandLine& options, const TOption& option, const Exception& error) {
    const std::string origin = options.Origin(option);
    if (origin.empty())
        throw error;
    throw Exception::FromUtf8(origin + ": " + error.Utf8Text());
}

template <typename Read> auto Checked(const TCommandLine& options, const TOption& option, const Read& read) {
    try {
        return read();
    } catch (const Exception& error) {
        Refuse(options, option, error);
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
    if (options.Value(Option::Metrics).empty())
        throw Exception("option '--metrics-users' needs '--metrics'");
    return std::make_shared<const TMetricsUsers>(
        TMetricsUsers::FromFile(options.Value(Option::MetricsUsers)));
}
} // namespace

THeadlessSettings ReadHeadlessSettings(const TCommandLine& commandLine, const char* passwordVariable) {
    TCommandLine options = commandLine;
    if (commandLine.IsSet(Option::Config)) {
        const std::string path = commandLine.Value(Option::Config);
        options.TakeFileValues(path, FileText(Option::Config, path, MaxConfigBytes).toStdString());
    }
    THeadlessSettings settings;
    TProbeStartRequest& request = settings.request;
    if (!options.IsSet(Option::Database) || options.Value(Option::Database).empty())
        Refuse(options, Option::Database, Exception("option '--headless' needs '--database'"));
    request.DBName = options.Value(Option::Database);
    request.UserName = ToCp1251(QString::fromStdString(options.Text(Option::User)));
    if (options.IsSet(Option::PasswordFile)) {
        const QByteArray text = Checked(options, Option::PasswordFile, [&] {
            return FileText(Option::PasswordFile, options.Value(Option::PasswordFile), MaxPasswordFileBytes);
        });
        request.Password = ToCp1251(QString::fromUtf8(text.left(text.indexOf('\n'))).remove('\r'));
    } else if (passwordVariable != nullptr) {
        request.Password = ToCp1251(QString::fromUtf8(passwordVariable));
    }
    if (options.IsSet(Option::Sql) && options.IsSet(Option::SqlFile))
        Refuse(options, options.Origin(Option::Sql).empty() ? Option::SqlFile : Option::Sql,
               Exception("options '--sql' and '--sql-file' exclude each other"));
    const TOption& statementOption = options.IsSet(Option::SqlFile) ? Option::SqlFile : Option::Sql;
    const QString statement = Checked(options, statementOption, [&] {
        const QString text = options.IsSet(Option::SqlFile)
                                 ? QString::fromUtf8(FileText(Option::SqlFile, options.Value(Option::SqlFile),
                                                              MaxStatementBytes))
                                 : QString::fromStdString(options.Text(Option::Sql));
        // Every row of such a run would fail alike; the run is not worth starting.
        if (text.trimmed().isEmpty())
            throw Exception(FormatText("option '--%s' gives an empty statement", statementOption.Name));
        // The client library would send the statement only up to it, and the rest would go unseen.
        if (text.contains(QChar(0)))
            throw Exception(
                FormatText("option '--%s' gives a statement with a NUL byte", statementOption.Name));
        return text;
    });
    request.SQL = StatementLines(statement);
    const auto number = [&](const TOption& option) {
        return Checked(options, option, [&] { return options.Number(option); });
    };
    request.PeriodMs = static_cast<uint32_t>(number(Option::Period)) * 1000;
    request.JournalPath = options.Value(Option::Journal);
    settings.dailyJournal = options.IsSet(Option::DailyJournal);
    // A probe nobody watches keeps trying when the server is down at its start.
    request.StartInOutage = true;
    settings.amount = number(Option::Amount);
    if (options.IsSet(Option::Duration))
        settings.durationMs =
            Checked(options, Option::Duration, [&] { return Duration(options.Value(Option::Duration)); });
    settings.format = Checked(options, Option::Format, [&] { return Format(options); });
    request.CallLimitMs = static_cast<uint32_t>(number(Option::CallLimit)) * 1000;
    settings.metricsAddress = options.Value(Option::Metrics);
    if (options.IsSet(Option::MetricsUsers))
        settings.metricsUsers = Checked(options, Option::MetricsUsers, [&] { return MetricsUsers(options); });
    Checked(options, Option::Target, [&] { CheckTargetText(options); });
    settings.target = options.IsSet(Option::Target) ? options.Value(Option::Target) : request.DBName;
    if (!IsUtf8(settings.target))
        Refuse(options, Option::Database,
               Exception("option '--database' is not UTF-8 text; name the run with '--target'"));
    return settings;
}

std::string TargetName(const THeadlessSettings& settings) { return settings.target; }

void CheckTargetText(const TCommandLine& commandLine) {
    if (commandLine.IsSet(Option::Target) && !IsUtf8(commandLine.Value(Option::Target)))
        throw Exception("option '--target' takes UTF-8 text");
}
