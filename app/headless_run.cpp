#include "app/headless_run.h"

#include "app/command_line.h"
#include "app/day_watch.h"
#include "app/escaped_errors.h"
#include "app/output_queue.h"
#include "app/run_summary.h"
#include "app/service_notifier.h"
#include "core/escaped_error.h"
#include "core/exceptions.h"
#include "core/platform.h"
#include "core/termination_signals.h"
#include "log/csv_stream_format.h"
#include "log/json_line_writer.h"
#include "log/log_statistics.h"
#include "log/mem_table.h"
#include "log/outage_timeline.h"
#include "metrics/metrics_server.h"
#include "metrics/probe_metrics.h"
#include "metrics/run_info_metrics.h"
#include "probe/outage_ledger.h"
#include "probe/probe.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {
// How long the run may take to stop before the program ends without it: Stop hurries a blocked call, which
// ends within about two seconds unless the client library holds it; then the run is abandoned, and the
// summary and the exit come within three seconds of the signal all the same.
constexpr int StopBudgetMs = 2200;
// The status of a run that cannot serve the metrics it was asked for, as for a bad command line.
constexpr int MetricsFailedExitCode = 2;
// How long the rows still queued for standard output may take to go at the end.
constexpr std::chrono::milliseconds OutputGoodbyeBudget{500};

class THeadlessRun {
public:
    explicit THeadlessRun(const THeadlessSettings& settings);
    int Exec();

private:
    enum class State { Starting, Running, Stopping, Ended };

    void StartEnded(const TEscapedError& outcome);
    void Row(const TLogRow& row);
    void AwaitTheEnd();
    void Finish();
    void End(int exitCode);
    void Out(const std::string& bytes, bool row = true);
    void Tell(const Exception& error);
    void TellService();
    void TellText(QString text);
    void TellOutages();

    const THeadlessSettings& m_settings;
    TMemTable m_log;
    TCsvLineWriter m_lines;
    TOutputQueue m_out{STDOUT_FILENO};
    std::optional<TJsonLineWriter> m_jsonLines;
    QDeadlineTimer m_end;
    QTimer m_duration;
    QTimer m_stopBudget;
    State m_state = State::Starting;
    bool m_outputFailed = false;
    TServiceNotifier m_service;
    int64_t m_failedRows = 0;
    int32_t m_lastValue = 0;
    std::string m_serviceStatus; // told last
    std::shared_ptr<TProbeMetrics> m_metrics; // when they are served
    std::shared_ptr<TRunInfoMetrics> m_runInfo;
    std::unique_ptr<TMetricsServer> m_metricsServer;
    QTimer m_watchTimer;
    size_t m_toldBegun = 0; // outages whose beginning standard error has had
    size_t m_toldEnded = 0;
    // With --daily-journal, a new journal file at each local midnight.
    TDayWatch m_dayWatch{[this] { m_probe.StartNewJournalFile(); }};
    // Goes first, so that nothing of the run reaches the rest afterwards.
    TProbe m_probe;
    // The run's outages as its ledger decides them: every line and figure about outages reads it.
    std::shared_ptr<const TOutageLedger> m_ledger = m_probe.Ledger();
};

THeadlessRun::THeadlessRun(const THeadlessSettings& settings)
    : m_settings(settings), m_lines(TCsvStreamFormat().LineWriter()) {
    if (settings.format == THeadlessSettings::TFormat::Jsonl)
        m_jsonLines.emplace(TargetName(settings));
    if (!settings.metricsAddress.empty()) {
        m_metrics = std::make_shared<TProbeMetrics>(settings.target, m_ledger);
        m_probe.AddSink(m_metrics);
    }
    m_probe.OnStartEnded = [this](const TEscapedError& outcome) { StartEnded(outcome); };
    m_probe.OnRow = [this](const TLogRow& row) { Row(row); };
    m_probe.OnError = [this](const TEscapedError& error) { TellText(EscapedErrorText(error)); };
    m_probe.OnStopEnded = [this] { End(0); };
    m_probe.SetAmount(settings.amount);
    m_duration.setSingleShot(true);
    QObject::connect(&m_duration, &QTimer::timeout, [this] { AwaitTheEnd(); });
    m_stopBudget.setSingleShot(true);
    QObject::connect(&m_stopBudget, &QTimer::timeout, [this] { End(0); });
    // The duration counts from the program's start, however long the first attach waits.
    if (settings.durationMs)
        m_end.setRemainingTime(std::chrono::milliseconds(*settings.durationMs));
    // A call that hangs tells nothing; once a second is soon enough to notice it.
    m_watchTimer.setInterval(1000);
    QObject::connect(&m_watchTimer, &QTimer::timeout, [this] {
        TellOutages();
        TellService();
    });
}

int THeadlessRun::Exec() {
    if (!m_settings.metricsAddress.empty()) {
        try {
            m_runInfo = std::make_shared<TRunInfoMetrics>(m_settings.target);
            m_runInfo->SetPeriodMs(m_settings.request.PeriodMs);
            m_runInfo->SetCallLimitMs(m_settings.request.CallLimitMs);
            m_runInfo->SetAmount(m_settings.amount);
            m_metricsServer = std::make_unique<TMetricsServer>(
                m_settings.metricsAddress, std::vector<std::shared_ptr<prometheus::Collectable>>{m_metrics, m_runInfo},
                m_settings.metricsUsers);
            m_probe.AddSink(m_runInfo);
            // Port 0 lets the system choose one, which the scraper has to be told.
            const std::string& address = m_settings.metricsAddress;
            TellText(QString::fromStdString("Metrics on http://" + address.substr(0, address.rfind(':')) + ":" +
                                            std::to_string(m_metricsServer->Port()) + "/metrics"));
        } catch (const Exception& error) {
            Tell(error);
            return MetricsFailedExitCode;
        }
    }
    // SIGHUP is what log rotation sends: the run goes on in a new journal file.
    TTerminationSignals terminationSignals([this](int signalNumber) {
        if (signalNumber == SIGHUP)
            m_probe.StartNewJournalFile();
        else
            Finish();
    });
    m_service.Status("Attaching to " + TargetName(m_settings));
    m_probe.Start(m_settings.request);
    if (m_settings.durationMs)
        m_duration.start(0);
    return QCoreApplication::exec();
}

void THeadlessRun::StartEnded(const TEscapedError& outcome) {
    if (m_state != State::Starting)
        return;
    if (outcome.message)
        TellText(EscapedErrorText(outcome));
    if (outcome.failed) {
        End(1);
        return;
    }
    m_state = State::Running;
    if (m_settings.dailyJournal)
        m_dayWatch.Start();
    m_service.Ready("Measuring " + TargetName(m_settings));
    m_watchTimer.start();
    if (!m_jsonLines)
        Out(m_lines.HeaderLine(), false);
}

// A timer counts at most 24 days in one go; a longer run looks again every hour.
void THeadlessRun::AwaitTheEnd() {
    if (m_end.hasExpired())
        Finish();
    else
        m_duration.start(std::chrono::milliseconds(std::min<int64_t>(m_end.remainingTime(), 3600000)));
}

void THeadlessRun::Row(const TLogRow& row) {
    try {
        m_log.AppendRecord(row);
        if (!row.Error.empty())
            ++m_failedRows;
        m_lastValue = row.Value;
        Out(m_jsonLines ? m_jsonLines->RowLine(row) : m_lines.RowLine(row));
    } catch (const Exception& error) {
        Tell(error);
    }
    TellOutages();
    TellService();
}

// One line when an outage begins and one when it ends, for the system journal, each with its cause and
// reason.
void THeadlessRun::TellOutages() {
    // Only those not told of yet: a long run may hold many.
    const std::vector<TOutage> outages = m_ledger->Outages(m_toldEnded);
    for (; m_toldBegun < m_toldEnded + outages.size(); ++m_toldBegun) {
        const TOutage& outage = outages[m_toldBegun - m_toldEnded];
        TellText(QString::fromStdString("Outage since " + TimeText(outage.startMs) + ": " +
                                        FailureText(outage.failure)));
    }
    for (size_t i = 0; i < outages.size() && !outages[i].ongoing; ++i, ++m_toldEnded) {
        const TOutage& outage = outages[i];
        TellText(QString::fromStdString(FormatText("Outage ended at %s after %.3f s: ", TimeText(outage.endMs).c_str(),
                                                   static_cast<double>(outage.endMs - outage.startMs) / 1000) +
                                        FailureText(outage.failure)));
    }
}

// A run that is still attaching has no rows to wait for: the probe's end cancels the attach.
void THeadlessRun::Finish() {
    if (m_state == State::Running) {
        m_state = State::Stopping;
        m_service.Stopping("Stopping");
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
    m_watchTimer.stop();
    if (exitCode == 0) {
        TellOutages(); // the watch may have taken in the last row after this side showed it
        TLogStatistics statistics;
        statistics.Rebuild(m_log);
        std::fputs(RunSummary(statistics, m_ledger->Timeline(), m_ledger->NowMs()).c_str(), stderr);
        if (const uint64_t dropped = m_out.Finish(OutputGoodbyeBudget))
            std::fprintf(stderr,
                         "Standard output was not read: %llu lines of it were dropped (the journal has "
                         "every row).\n",
                         static_cast<unsigned long long>(dropped));
    }
    QCoreApplication::exit(exitCode);
}

// systemctl status shows the run's state in words, as the ledger has it: how many rows, or since when the
// outage lasts and why.
void THeadlessRun::TellService() {
    if (m_state != State::Running)
        return;
    const std::optional<TOutage> outage = m_ledger->State().outage;
    if (!outage && m_log.RecordCount() == 0)
        return; // "Measuring" until the first row
    std::string status =
        outage ? "Outage since " + TimeText(outage->startMs) + ": " + FailureText(outage->failure)
               : FormatText("Attached to %s: %lld rows, %lld failed, the last in %d ms",
                            TargetName(m_settings).c_str(), static_cast<long long>(m_log.RecordCount()),
                            static_cast<long long>(m_failedRows), m_lastValue);
    if (status != m_serviceStatus)
        m_service.Status(m_serviceStatus = std::move(status));
}

// Standard output may be a pipe whose reader goes away (a restarted log collector) or stalls: the run goes
// on, with the journal, and says so once.
void THeadlessRun::Out(const std::string& bytes, bool row) {
    if (m_outputFailed)
        return;
    m_out.Write(bytes, row);
    if (m_out.Failed()) {
        m_outputFailed = true;
        Tell(Exception("Standard output is closed; the rows go on only to the journal, if one is kept"));
    }
}

// The box's text, with the line ends of a terminal.
void THeadlessRun::Tell(const Exception& error) {
    TellText(EscapedErrorText(EscapedErrorOf(error)));
}

void THeadlessRun::TellText(QString text) {
    text.replace("\r\n", "\n");
    if (!text.endsWith('\n'))
        text += '\n';
    std::fputs(text.toStdString().c_str(), stderr);
}
} // namespace

int RunHeadless(const THeadlessSettings& settings) {
    IgnoreBrokenPipes();
    THeadlessRun run(settings);
    return run.Exec();
}
