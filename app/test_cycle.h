#pragma once

#include "db/database.h"
#include "db/error_handler.h"

#include <cstdint>
#include <string>

class EFbError;
class QAbstractButton;
class QLineEdit;
class QPlainTextEdit;
class QTimer;
class TAction;
class TFbQuery;
class TFbTransaction;
class TMemTable;
class TSaveDialog;
class TSpinEdit;

// What the test cycle works with; the window owns all of it.
struct TTestCycleParts {
    QLineEdit& edDBName;
    QLineEdit& edUser;
    QLineEdit& edPassword;
    QPlainTextEdit& mSQL;
    TSpinEdit& sePeriod;
    TSpinEdit& seAmount;
    QAbstractButton& btnStart;
    TAction& actProcess;
    TAction& actStop;
    TFbDatabase& FDB;
    TFbTransaction& TRO;
    TFbQuery& qry1;
    TMemTable& MT;
    QTimer& Timer1;
    TSaveDialog& SaveDialog1;
};

// The controller of the tool: Start attaches and arms the timer, every tick runs one measured cycle and logs
// it, Stop commits and detaches, Save writes the log. The tool runs exactly while Timer1 is enabled.
// Errors that escape a handler are for the window's error box.
class TTestCycle {
public:
    explicit TTestCycle(const TTestCycleParts& parts) : m_parts(parts) {}

    void btnStartClick();
    // Runs actProcess; a tick that arrives while a cycle runs is delivered once when it has ended.
    void Timer1Timer();
    void actProcessExecute();
    void actStopExecute();
    void btnSaveClick();
    void ActionList1Update(TAction* action, bool& Handled);
    void FDBLostConnect(TFbBaseDatabase& Database, EFbError& E, TOnLostConnectActions& Actions);
    void ErrorHandler1ErrorEvent(TComponent* Sender, EFbError& ErrorValue, TKindFbError KindFbError,
                                 bool& DoRaise);

private:
    struct TMeasurement {
        int32_t elapsedMs = 0;
        std::string errorText;
    };
    TMeasurement Measure();
    void AppendRow(const TMeasurement& measurement);
    uint32_t PeriodMilliseconds() const;

    TTestCycleParts m_parts;
    bool m_cycleRunning = false;
    bool m_tickPending = false;
};
