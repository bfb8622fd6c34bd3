#include "app/headless_settings.h"

#include "app/command_line.h"
#include "core/exceptions.h"
#include "core/text_codec.h"

#include <QFile>
#include <QString>
#include <QStringList>

namespace {
// Limits of the window's editors.
constexpr int32_t MaxPeriodSeconds = 3600;
constexpr int32_t MaxAmount = 10000;
constexpr int32_t MaxCallLimitSeconds = 3600;

int32_t WholeNumber(const TCommandLine& commandLine, const std::string& name, int32_t fallback, int32_t most) {
    if (!commandLine.IsSet(name))
        return fallback;
    bool ok = false;
    const int value = QString::fromStdString(commandLine.Value(name)).toInt(&ok);
    if (!ok || value < 1 || value > most)
        throw Exception(FormatText("option '--%s' takes a whole number from 1 to %d", name.c_str(), most));
    return value;
}

int64_t Duration(const std::string& text) {
    QString number = QString::fromStdString(text);
    int64_t unitMs = 1000;
    const std::pair<char, int64_t> units[] = {{'s', 1000}, {'m', 60000}, {'h', 3600000}, {'d', 86400000}};
    for (const auto& [suffix, ms] : units)
        if (number.endsWith(QChar(suffix))) {
            number.chop(1);
            unitMs = ms;
        }
    bool ok = false;
    const double count = number.toDouble(&ok);
    // At most a year: a mistyped duration must not overflow into a negative one.
    if (!ok || count <= 0 || count * static_cast<double>(unitMs) > 366.0 * 86400000)
        throw Exception("option '--duration' takes a time such as 3600, 90m, 12h or 7d");
    return static_cast<int64_t>(count * static_cast<double>(unitMs));
}

QByteArray FileText(const std::string& option, const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception::FromUtf8(FormatText("option '--%s': cannot read \"%s\": %s", option.c_str(), path.c_str(),
                                             file.errorString().toStdString().c_str()));
    return file.readAll();
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
} // namespace

THeadlessSettings ReadHeadlessSettings(const TCommandLine& commandLine, const char* passwordVariable) {
    THeadlessSettings settings;
    TProbeStartRequest& request = settings.request;
    if (!commandLine.IsSet("database") || commandLine.Value("database").empty())
        throw Exception("option '--headless' needs '--database'");
    request.DBName = commandLine.Value("database");
    request.UserName =
        ToCp1251(QString::fromStdString(commandLine.IsSet("user") ? commandLine.Value("user") : "SYSDBA"));
    if (commandLine.IsSet("password-file")) {
        const QByteArray text = FileText("password-file", commandLine.Value("password-file"));
        request.Password = ToCp1251(QString::fromUtf8(text.left(text.indexOf('\n'))).remove('\r'));
    } else if (passwordVariable != nullptr) {
        request.Password = ToCp1251(QString::fromUtf8(passwordVariable));
    }
    if (commandLine.IsSet("sql") && commandLine.IsSet("sql-file"))
        throw Exception("options '--sql' and '--sql-file' exclude each other");
    if (commandLine.IsSet("sql-file"))
        request.SQL = StatementLines(QString::fromUtf8(FileText("sql-file", commandLine.Value("sql-file"))));
    else
        request.SQL = StatementLines(QString::fromStdString(
            commandLine.IsSet("sql") ? commandLine.Value("sql") : "select 1 from rdb$database"));
    request.PeriodMs = static_cast<uint32_t>(WholeNumber(commandLine, "period", 10, MaxPeriodSeconds)) * 1000;
    request.JournalPath = commandLine.Value("journal");
    settings.amount = WholeNumber(commandLine, "amount", 10, MaxAmount);
    request.CallLimitMs = static_cast<uint32_t>(CallLimitSeconds(commandLine)) * 1000;
    settings.metricsAddress = commandLine.Value("metrics");
    settings.target = commandLine.IsSet("target") ? commandLine.Value("target") : request.DBName;
    if (commandLine.IsSet("duration"))
        settings.durationMs = Duration(commandLine.Value("duration"));
    return settings;
}

int32_t CallLimitSeconds(const TCommandLine& commandLine) {
    return WholeNumber(commandLine, "call-limit", 30, MaxCallLimitSeconds);
}
