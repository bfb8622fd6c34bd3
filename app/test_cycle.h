#pragma once

#include "core/escaped_error.h"

#include <cstdint>
#include <optional>
#include <string>

class QAbstractButton;
class QLineEdit;
class QPlainTextEdit;
class QWidget;
class TAction;
class TMemTable;
class TProbe;
struct TProbeRow;
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

    void btnStartClick();
    void actStopExecute();
    void btnSaveClick();
    void ActionList1Update(TAction* action, bool& Handled);

    // The journal's path (the platform's file name, UTF-8) for the runs that Start begins from now on; empty
    // for none.
    const std::string& JournalPath() const { return m_journalPath; }
    void SetJournalPath(std::string path) { m_journalPath = std::move(path); }

    // From a Start that succeeded to the next Stop.
    bool Running() const { return m_state == State::Running; }
    // From Start until the run has told how its attach ended.
    bool Starting() const { return m_state == State::Starting; }

private:
    enum class State { Stopped, Starting, Running };

    void StartEnded(const TEscapedError& outcome);
    void AppendRow(const TProbeRow& row);
    void ShowError(const std::string& message);
    void UpdateActions();
    uint32_t PeriodMilliseconds() const;

    TTestCycleParts m_parts;
    State m_state = State::Stopped;
    std::string m_journalPath;
};
