#pragma once

#include "core/component.h"
#include "core/escaped_error.h"
#include "db/error_handler.h"
#include "db/fb_database.h"
#include "probe/outage_ledger.h"
#include "probe/probe_messages.h"
#include "probe/probe_sink.h"

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class EFbError;
class QTimer;
class TJournal;
class TFbQuery;
class TFbTransaction;

// The test run on the thread it was made on: the connection FDB, the transaction TRO, the query qry1, the
// error handler ErrorHandler1 and the cycle timer Timer1, all owned by a component named after the window so
// that every message names them as the window's ("Form1.qry1"). Start attaches and arms Timer1, each tick
// runs one measured cycle, Stop commits and detaches. What it measures and how its connection fares goes to
// its sinks (the journal among them, while the run keeps one), and its outages are decided once, in its
// outage ledger, whose decisions the sinks hear too; the rest it tells through its events. Sinks and events
// are called on its own thread.
class TProbeRun {
public:
    struct TEvents {
        // Start ended: started unless outcome.failed, with the error to show (none for a silent abort).
        std::function<void(const TEscapedError& outcome)> StartEnded;
        // An error that escaped a cycle's bookkeeping, Stop or a restore attempt.
        std::function<void(const TEscapedError& error)> Error;
        // Stop has ended: every row of the run has been told before it.
        std::function<void()> StopEnded;
        // Read at every cycle.
        std::function<int32_t()> Amount;
        // Whether a stop (or the end of the run) has been asked for and not yet handled: a cycle then ends
        // without a row. May be read at any moment.
        std::function<bool()> StopPending;
        // Stop has been handled: the calls may go back to their normal limit unless another stop is pending.
        std::function<void()> StopHandled;
    };

    TProbeRun(const std::string& ownerName, TEvents events, std::shared_ptr<TOutageLedger> ledger);
    ~TProbeRun();
    TProbeRun(const TProbeRun&) = delete;
    TProbeRun& operator=(const TProbeRun&) = delete;

    // A sink for every run from now on.
    void AddSink(std::shared_ptr<IProbeSink> sink);

    void Start(const TProbeStartRequest& request);
    void Stop();
    // Between two rows, so that each row is in exactly one file.
    void StartNewJournalFile();
    // Runs one cycle.
    void Timer1Timer();
    bool Running() const;

    TFbDatabase& FDB() { return *m_FDB; }
    TFbTransaction& TRO() { return *m_TRO; }
    TFbQuery& qry1() { return *m_qry1; }
    QTimer& Timer1() { return *m_Timer1; }
    // The journal of the run under way, if it keeps one.
    const TJournal* Journal() const { return m_journal.get(); }

    void FDBLostConnect(TFbBaseDatabase& Database, EFbError& E, TOnLostConnectActions& Actions);
    void FDBErrorRestoreConnect(TFbBaseDatabase& Database, EFbError& E, TOnLostConnectActions& Actions);
    void ErrorHandler1ErrorEvent(TComponent* Sender, EFbError& ErrorValue, TKindFbError KindFbError,
                                 bool& DoRaise);

private:
    struct TMeasurement {
        int32_t elapsedMs = 0;
        std::string errorText;
        std::optional<TFailure> failure;
        // Stop ended the cycle before any of its calls failed by itself: the cycle leaves no row.
        bool cutShort = false;
    };
    void CreateDatabaseComponents();
    void AttachEnded(const TProbeStartRequest& request, std::exception_ptr error);
    bool StartsInOutage(const TProbeStartRequest& request, std::exception_ptr error);
    void RunFrom(const TProbeStartRequest& request);
    void QueryServerTimeUnlessStopping();
    void StopSteps();
    void CommitAndDetach();
    static bool IsCancel(std::exception_ptr failure);
    void Cycle();
    TMeasurement Measure();
    void ExecWatched();
    void ReportEscaped(const std::function<void()>& command);
    void TellRow(int32_t elapsedMs, std::string error, std::optional<TFailure> failure);
    void TellOutageChange(const TOutageTimeline::TChange& change);
    // A failed cycle's failure; a cycle that fails because the connection waits for its restore fails for
    // the reason it was lost.
    TFailure CycleFailure(const TFailure& failure) const;
    void TellServerVersion();
    // The run's clock, as its rows carry it.
    TDateTime RunTime() const;
    template <typename Event> void Tell(const Event& event);

    TEvents m_events;
    TComponent m_owner;
    // How the connection was lost, until it is back. Before the components: the connection's detach at
    // their end may still report a loss.
    std::optional<TFailure> m_lossFailure;
    // Declared in the order of their dependencies, so that they are destroyed the other way round.
    std::unique_ptr<TFbErrorHandler> m_ErrorHandler1;
    std::unique_ptr<TFbDatabase> m_FDB;
    std::unique_ptr<TFbTransaction> m_TRO;
    std::unique_ptr<TFbQuery> m_qry1;
    std::unique_ptr<QTimer> m_Timer1;
    // Made when Start succeeds, ended by Stop; goes before the events it reports through.
    std::shared_ptr<TJournal> m_journal;
    std::vector<std::shared_ptr<IProbeSink>> m_sinks;
    std::shared_ptr<TOutageLedger> m_ledger;
    // The error of the attach that started the run in an outage: the text of its first row.
    std::optional<std::string> m_startError;
};
