#pragma once

#include "core/escaped_error.h"
#include "probe/probe_messages.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class QAbstractButton;
class QLineEdit;
class QPlainTextEdit;
class QWidget;
class TAction;
class TMemTable;
class TMetricsServer;
class TOutageLedger;
class TProbe;
class TProbeMetrics;
class TRunInfoMetrics;
struct TLogRow;
class TSaveDialog;
class TSpinEdit;

// What the test cycle works with; the window owns all of it.
struct TTestCycleParts {
    QWidget& window;
    QLineEdit& edDBName;
    QLineEdit& edUser;
    QLineEdit& edPassword;
    QPlainTextEdit& mSQL;
    TSpinEdit& sePeriod;
    TSpinEdit& seAmount;
    QAbstractButton& btnStart;
    TAction& actStop;
    TMemTable& MT;
    TSaveDialog& SaveDialog1;
    TProbe& probe;
};

// The window's side of the tool: Start hands the entries to the run, whose rows it appends to the log and
// whose errors it shows; Stop ends the run; Save writes the log. The window never waits for the server:
// the run answers later, on this thread, through the probe.
class TTestCycle {
public:
    explicit TTestCycle(const TTestCycleParts& parts);
    ~TTestCycle();

    void btnStartClick();
    void actStopExecute();
    void btnSaveClick();
    void ActionList1Update(TAction* action, bool& Handled);

    // The journal's path (the platform's file name, UTF-8) for the runs that Start begins from now on; empty
    // for none.
    const std::string& JournalPath() const { return m_journalPath; }
    void SetJournalPath(std::string path) { m_journalPath = std::move(path); }

    // How long one client call of the runs that Start begins may wait, in --call-limit's range (the window
    // brings a stored value into it).
    void SetCallLimitSeconds(int32_t seconds);
    // Where the metrics are served (HOST:PORT; empty for nowhere), labelled with target (empty: the Database
    // text). The next Start begins serving them; an address that cannot be served is shown in a box, and the
    // run goes on without metrics.
    void SetMetricsAddress(std::string address, std::string target = {});
    // The file of the users who may read the metrics (empty: anyone); one that cannot be read is shown in a
    // box at the next Start, and the metrics are not served.
    void SetMetricsUsersFile(std::string path) { m_metricsUsersFile = std::move(path); }
    // The outages of the run under way, as the state line shows them.
    const TOutageLedger& Ledger() const;
    // The database the last Start attaches to, as typed.
    const std::string& AttachTarget() const { return m_attachTarget; }

    // From a Start that succeeded to the next Stop.
    bool Running() const { return m_state == State::Running; }
    // From Start until the run has told how its attach ended.
    bool Starting() const { return m_state == State::Starting; }

private:
    enum class State { Stopped, Starting, Running };

    void StartEnded(const TEscapedError& outcome);
    void AppendRow(const TLogRow& row);
    void UpdateActions();
    uint32_t PeriodMilliseconds() const;
    void ServeMetrics(const std::string& target);

    TTestCycleParts m_parts;
    State m_state = State::Stopped;
    std::string m_journalPath;
    std::string m_attachTarget;
    uint32_t m_callLimitMs = kDefaultCallLimitSeconds * 1000;
    std::string m_metricsAddress;
    std::string m_metricsTarget;
    std::string m_metricsUsersFile;
    std::shared_ptr<TProbeMetrics> m_metrics;
    std::shared_ptr<TRunInfoMetrics> m_runInfo;
    std::unique_ptr<TMetricsServer> m_metricsServer;
};
