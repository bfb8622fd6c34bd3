#include "app/test_cycle.h"

#include "app/action.h"
#include "app/escaped_errors.h"
#include "app/memo_lines.h"
#include "app/save_dialog.h"
#include "app/spin_edit.h"
#include "core/exceptions.h"
#include "core/text_codec.h"
#include "log/mem_table.h"
#include "metrics/metrics_server.h"
#include "metrics/metrics_users.h"
#include "metrics/probe_metrics.h"
#include "metrics/run_info_metrics.h"
#include "probe/outage_ledger.h"
#include "probe/probe.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <algorithm>

TTestCycle::TTestCycle(const TTestCycleParts& parts)
    : m_parts(parts) {
    TProbe& probe = m_parts.probe;
    probe.OnRow = [this](const TLogRow& row) { AppendRow(row); };
    probe.OnStartEnded = [this](const TEscapedError& outcome) { StartEnded(outcome); };
    probe.OnError = [this](const TEscapedError& error) { ShowEscapedError(&m_parts.window, error); };
    // Every cycle reads Amount as the editor holds it then.
    const auto passAmount = [this] {
        m_parts.probe.SetAmount(m_parts.seAmount.Value());
        if (m_runInfo)
            m_runInfo->SetAmount(m_parts.seAmount.Value());
    };
    passAmount();
    QObject::connect(&m_parts.seAmount, &QLineEdit::textChanged, &m_parts.seAmount, passAmount);
}

TTestCycle::~TTestCycle() = default;

const TOutageLedger& TTestCycle::Ledger() const {
    return *m_parts.probe.Ledger();
}

void TTestCycle::SetCallLimitSeconds(int32_t seconds) {
    m_callLimitMs = static_cast<uint32_t>(seconds) * 1000;
}

void TTestCycle::SetMetricsAddress(std::string address, std::string target) {
    m_metricsAddress = std::move(address);
    m_metricsTarget = std::move(target);
}

// Once per program: the series go on across Stop and Start, under the target they began with.
void TTestCycle::ServeMetrics(const std::string& target) {
    std::string address = std::move(m_metricsAddress);
    m_metricsAddress.clear();
    try {
        const std::string name = m_metricsTarget.empty() ? target : m_metricsTarget;
        auto metrics = std::make_shared<TProbeMetrics>(name, m_parts.probe.Ledger());
        auto runInfo = std::make_shared<TRunInfoMetrics>(name);
        runInfo->SetAmount(m_parts.seAmount.Value());
        std::shared_ptr<const TMetricsUsers> users;
        if (!m_metricsUsersFile.empty())
            users = std::make_shared<const TMetricsUsers>(TMetricsUsers::FromFile(m_metricsUsersFile));
        m_metricsServer = std::make_unique<TMetricsServer>(
            address, std::vector<std::shared_ptr<prometheus::Collectable>>{metrics, runInfo}, users);
        m_metrics = metrics;
        m_runInfo = runInfo;
        m_parts.probe.AddSink(m_metrics);
        m_parts.probe.AddSink(m_runInfo);
    } catch (const Exception& error) {
        ShowEscapedError(&m_parts.window, EscapedErrorOf(error));
    }
}

void TTestCycle::btnStartClick() {
    TProbeStartRequest request;
    // A file name, so UTF-8 as the server's file system names it; never text of the code page.
    request.DBName = m_parts.edDBName.text().toStdString();
    request.UserName = ToCp1251(m_parts.edUser.text());
    request.Password = ToCp1251(m_parts.edPassword.text());
    request.SQL = StatementLines(m_parts.mSQL.toPlainText());
    request.PeriodMs = PeriodMilliseconds();
    request.JournalPath = m_journalPath;
    request.CallLimitMs = m_callLimitMs;
    m_attachTarget = request.DBName;
    if (!m_metricsAddress.empty() && !m_metricsServer)
        ServeMetrics(request.DBName);
    if (m_runInfo) {
        m_runInfo->SetPeriodMs(request.PeriodMs);
        m_runInfo->SetCallLimitMs(request.CallLimitMs);
    }
    m_state = State::Starting;
    UpdateActions();
    m_parts.probe.Start(request);
}

// The log is emptied only once the attach has succeeded, and before the first row of the new run arrives.
void TTestCycle::StartEnded(const TEscapedError& outcome) {
    // A Stop pressed while the attach waited has ended the start already.
    if (m_state != State::Starting)
        return;
    m_state = outcome.failed ? State::Stopped : State::Running;
    UpdateActions();
    if (!outcome.failed)
        RunShowingErrors(&m_parts.window, [this] { m_parts.MT.ClearRecords(); });
    ShowEscapedError(&m_parts.window, outcome);
}

// The editor clamps Period when it loses the focus; a text that never lost it could still hold a number far
// out of range, which must not overflow into a negative or tiny interval.
uint32_t TTestCycle::PeriodMilliseconds() const {
    const TSpinEdit& period = m_parts.sePeriod;
    const int64_t seconds = std::clamp<int64_t>(period.Value(), period.MinValue(), period.MaxValue());
    return static_cast<uint32_t>(seconds * 1000);
}

void TTestCycle::AppendRow(const TLogRow& row) {
    RunShowingErrors(&m_parts.window, [&] { m_parts.MT.AppendRecord(row); });
}

// The buttons change at once; the run ends its transaction and detaches on its own thread.
void TTestCycle::actStopExecute() {
    m_state = State::Stopped;
    UpdateActions();
    m_parts.probe.Stop();
}

void TTestCycle::btnSaveClick() {
    if (m_parts.SaveDialog1.Execute())
        m_parts.MT.SaveAsText(m_parts.SaveDialog1.FileName());
}

void TTestCycle::UpdateActions() {
    bool handled = false;
    ActionList1Update(&m_parts.actStop, handled);
}

void TTestCycle::ActionList1Update(TAction*, bool&) {
    // Stop also ends a Start whose attach still waits for the server.
    m_parts.actStop.SetEnabled(m_state != State::Stopped);
    m_parts.btnStart.setEnabled(m_state == State::Stopped);
}
