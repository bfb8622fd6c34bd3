#include "app/test_cycle.h"

#include "app/action.h"
#include "app/save_dialog.h"
#include "app/spin_edit.h"
#include "core/date_time.h"
#include "core/exceptions.h"
#include "core/platform.h"
#include "core/text_codec.h"
#include "db/query.h"
#include "db/transaction.h"
#include "log/mem_table.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>

namespace {
std::vector<std::string> MemoLines(const QPlainTextEdit& memo) {
    std::vector<std::string> lines;
    for (const QString& line : memo.toPlainText().split('\n'))
        lines.push_back(ToCp1251(line));
    return lines;
}

// Holds the 1 ms timer resolution for one measurement and gives it back however the measurement ends.
class TFineTimerResolution {
public:
    TFineTimerResolution() { timeBeginPeriod(1); }
    ~TFineTimerResolution() { timeEndPeriod(1); }
    TFineTimerResolution(const TFineTimerResolution&) = delete;
    TFineTimerResolution& operator=(const TFineTimerResolution&) = delete;
};
} // namespace

void TTestCycle::btnStartClick() {
    TFbDatabase& database = m_parts.FDB;
    // A file name, so UTF-8 as the server's file system names it; never text of the code page.
    database.SetDBName(m_parts.edDBName.text().toStdString());
    database.ConnectParams().SetUserName(ToCp1251(m_parts.edUser.text()));
    database.ConnectParams().SetPassword(ToCp1251(m_parts.edPassword.text()));
    database.SetConnected(true);
    m_parts.MT.ClearRecords();
    m_parts.qry1.SetSQL(MemoLines(m_parts.mSQL));
    m_parts.Timer1.setInterval(static_cast<int>(PeriodMilliseconds()));
    m_parts.Timer1.start();
    if (!m_parts.Timer1.isActive())
        throw Exception("Not enough timers available");
}

// The editor clamps Period when it loses the focus; a text that never lost it could still hold a number far
// out of range, which must not overflow into a negative or tiny interval.
uint32_t TTestCycle::PeriodMilliseconds() const {
    const TSpinEdit& period = m_parts.sePeriod;
    const int64_t seconds = std::clamp<int64_t>(period.Value(), period.MinValue(), period.MaxValue());
    return static_cast<uint32_t>(seconds * 1000);
}

void TTestCycle::Timer1Timer() {
    if (m_cycleRunning) {
        m_tickPending = true;
        return;
    }
    do {
        m_tickPending = false;
        m_cycleRunning = true;
        try {
            m_parts.actProcess.Execute();
        } catch (...) {
            m_cycleRunning = false;
            throw;
        }
        m_cycleRunning = false;
    } while (m_tickPending && m_parts.Timer1.isActive());
}

TTestCycle::TMeasurement TTestCycle::Measure() {
    TFineTimerResolution resolution;
    TMeasurement measurement;
    const uint32_t t0 = timeGetTime();
    try {
        const int32_t amount = m_parts.seAmount.Value();
        for (int32_t i = 0; i < amount; ++i)
            m_parts.qry1.ExecQuery();
    } catch (const Exception& error) {
        // A failed cycle records the time until the failure; its Error text is what marks it.
        measurement.errorText = error.Message();
    }
    measurement.elapsedMs = static_cast<int32_t>(timeGetTime() - t0);
    return measurement;
}

void TTestCycle::AppendRow(const TMeasurement& measurement) {
    TMemTable& table = m_parts.MT;
    table.BeginAppend();
    table.MTTime.SetAsDateTime(Now() - m_parts.FDB.ClockDifference());
    table.MTValue.SetAsInteger(measurement.elapsedMs);
    table.MTError.SetAsString(measurement.errorText);
    table.PostRecord();
}

void TTestCycle::actProcessExecute() {
    const TMeasurement measurement = Measure();
    AppendRow(measurement);
    if (measurement.errorText.empty()) {
        const TDateTime serverTime = m_parts.FDB.QueryServerTime();
        m_parts.FDB.SetClockDifference(Now() - serverTime);
    }
}

void TTestCycle::actStopExecute() {
    m_parts.Timer1.stop();
    if (m_parts.TRO.Active())
        m_parts.TRO.Commit();
    m_parts.FDB.SetConnected(false);
}

void TTestCycle::btnSaveClick() {
    if (m_parts.SaveDialog1.Execute())
        m_parts.MT.SaveAsText(m_parts.SaveDialog1.FileName());
}

void TTestCycle::ActionList1Update(TAction*, bool&) {
    const bool running = m_parts.Timer1.isActive();
    m_parts.actStop.SetEnabled(running);
    m_parts.btnStart.setEnabled(!running);
}

void TTestCycle::FDBLostConnect(TFbBaseDatabase&, EFbError&, TOnLostConnectActions& Actions) {
    Actions = laWaitRestore;
}

void TTestCycle::ErrorHandler1ErrorEvent(TComponent*, EFbError&, TKindFbError KindFbError, bool& DoRaise) {
    if (KindFbError == keLostConnect)
        DoRaise = true;
}
