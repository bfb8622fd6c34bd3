#include "app/headless_run.h"

#include "app/command_line.h"
#include "app/run_summary.h"
#include "core/error_box.h"
#include "core/exceptions.h"
#include "core/platform.h"
#include "core/termination_signals.h"
#include "core/text_codec.h"
#include "log/csv_stream_format.h"
#include "log/log_statistics.h"
#include "log/mem_table.h"
#include "probe/probe.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTimer>
#include <cstdio>

namespace {
// Limits of the window's editors.
constexpr int32_t MaxPeriodSeconds = 3600;
constexpr int32_t MaxAmount = 10000;
// How long the run may take to stop before the program ends without it; Stop breaks a blocked call at once.
constexpr int StopBudgetMs = 5000;

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

class THeadlessRun {
public:
    explicit THeadlessRun(const THeadlessSettings& settings);
    int Exec();

private:
    enum class State { Starting, Running, Stopping, Ended };

    void StartEnded(bool started, const std::optional<std::string>& error);
    void Row(const TProbeRow& row);
    void AwaitTheEnd();
    void Finish();
    void End(int exitCode);
    void Out(const std::string& bytes);
    void Tell(const std::string& message);

    const THeadlessSettings& m_settings;
    TMemTable m_log;
    TCsvLineWriter m_lines;
    QDeadlineTimer m_end;
    QTimer m_duration;
    QTimer m_stopBudget;
    State m_state = State::Starting;
    bool m_outputFailed = false;
    // Goes first, so that nothing of the run reaches the rest afterwards.
    TProbe m_probe;
};

THeadlessRun::THeadlessRun(const THeadlessSettings& settings)
    : m_settings(settings), m_lines(TCsvStreamFormat().LineWriter()) {
    m_probe.OnStartEnded = [this](bool started, const std::optional<std::string>& error) {
        StartEnded(started, error);
    };
    m_probe.OnRow = [this](const TProbeRow& row) { Row(row); };
    m_probe.OnError = [this](const std::string& message) { Tell(message); };
    m_probe.OnStopEnded = [this] { End(0); };
    m_probe.SetAmount(settings.amount);
    m_duration.setSingleShot(true);
    QObject::connect(&m_duration, &QTimer::timeout, [this] { AwaitTheEnd(); });
    m_stopBudget.setSingleShot(true);
    QObject::connect(&m_stopBudget, &QTimer::timeout, [this] { End(0); });
}

int THeadlessRun::Exec() {
    TTerminationSignals terminationSignals([this](int) { Finish(); });
    m_probe.Start(m_settings.request);
    return QCoreApplication::exec();
}

void THeadlessRun::StartEnded(bool started, const std::optional<std::string>& error) {
    if (m_state != State::Starting)
        return;
    if (error)
        Tell(*error);
    if (!started) {
        End(1);
        return;
    }
    m_state = State::Running;
    Out(m_lines.HeaderLine());
    if (m_settings.durationMs) {
        m_end.setRemainingTime(std::chrono::milliseconds(*m_settings.durationMs));
        AwaitTheEnd();
    }
}

// A timer counts at most 24 days in one go; a longer run looks again every hour.
void THeadlessRun::AwaitTheEnd() {
    if (m_end.hasExpired())
        Finish();
    else
        m_duration.start(std::chrono::milliseconds(std::min<int64_t>(m_end.remainingTime(), 3600000)));
}

void THeadlessRun::Row(const TProbeRow& row) {
    try {
        m_log.AppendRecord(row.Time, row.Value, row.Error);
        Out(m_lines.RowLine(row.Time, row.Value, row.Error));
    } catch (const Exception& error) {
        Tell(error.Message());
    }
}

// A run that is still attaching has no rows to wait for: the probe's end cancels the attach.
void THeadlessRun::Finish() {
    if (m_state == State::Running) {
        m_state = State::Stopping;
        m_probe.Stop();
        m_stopBudget.start(StopBudgetMs);
    } else if (m_state == State::Starting) {
        End(0);
    }
}

// Status 0 is the end of a run, which has a summary even without rows; anything else is a failed Start.
void THeadlessRun::End(int exitCode) {
    if (m_state == State::Ended)
        return;
    m_state = State::Ended;
    if (exitCode == 0) {
        TLogStatistics statistics;
        statistics.Rebuild(m_log);
        std::fputs(RunSummary(statistics).c_str(), stderr);
    }
    QCoreApplication::exit(exitCode);
}

// Standard output may be a pipe whose reader goes away (a restarted log collector): the run goes on, with
// the journal, and says so once.
void THeadlessRun::Out(const std::string& bytes) {
    if (m_outputFailed)
        return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
        m_outputFailed = true;
        Tell("Standard output is closed; the rows go on only to the journal, if one is kept");
    }
}

// The box's text, with the line ends of a terminal.
void THeadlessRun::Tell(const std::string& message) {
    QString text = FromCp1251(ErrorBoxText(message)).replace("\r\n", "\n");
    if (!text.endsWith('\n'))
        text += '\n';
    std::fputs(text.toStdString().c_str(), stderr);
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
    if (commandLine.IsSet("duration"))
        settings.durationMs = Duration(commandLine.Value("duration"));
    return settings;
}

int RunHeadless(const THeadlessSettings& settings) {
    IgnoreBrokenPipes();
    THeadlessRun run(settings);
    return run.Exec();
}
