#pragma once

#include "core/escaped_error.h"
#include "probe/outage_ledger.h"
#include "probe/probe_messages.h"
#include "probe/probe_sink.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QObject;
class QThread;
class TProbeRun;

// The test run behind a narrow boundary, for a window or for a program without one.
//
// Threads: the TProbe object lives on the thread that made it (the caller's thread, which has an event loop).
// Everything that talks to the server or the disk lives on a worker thread of its own with its own event
// loop: the TProbeRun with FDB, TRO, qry1, ErrorHandler1, the restore timer, Timer1 and the journal. Besides
// it there are only the call watchdog of FDB and the short-lived helper threads on which attaches (Start's, restore attempts')
// wait for the server; their results come back to the worker as queued calls.
//
// What crosses, and nothing else:
//   caller -> worker: queued: a start request with its snapshot of the entries and the journal's path, stop,
//                     a new journal file; directly: stop's hurry, which cancels a blocked call at once, and the
//                     Amount value, an atomic that every cycle reads;
//   worker -> caller: queued: each measured row, the end of Start (started, or the error to show), the end of
//                     Stop, errors to show (the journal's among them);
//   both: the outage ledger, fed by the worker and read by any thread under its lock.
// The queued calls keep their order, so the caller sees rows in the order they were measured and never waits
// for the server; the callbacks below run on the caller's thread.
class TProbe {
public:
    // ownerName: the name the run's components are owned under; it heads every message ("Form1.qry1: ...").
    explicit TProbe(const std::string& ownerName = "Form1");
    // Ends the run within about 3 s whatever the server does: a blocked call is cancelled, then aborted.
    ~TProbe();
    TProbe(const TProbe&) = delete;
    TProbe& operator=(const TProbe&) = delete;

    // A sink of every run from now on, called on the run's thread (see IProbeSink); OnRow is the caller's own.
    void AddSink(std::shared_ptr<IProbeSink> sink);
    void Start(const TProbeStartRequest& request);
    void Stop();
    void SetAmount(int32_t amount);
    // The journal of the run under way, if it keeps one, goes on in a new file from the next row on.
    void StartNewJournalFile();
    // The one account of the runs' outages, for every view; readable from any thread.
    std::shared_ptr<const TOutageLedger> Ledger() const { return m_ledger; }

    std::function<void(const TLogRow& row)> OnRow;
    // Started unless outcome.failed; its message is the error to show (none for a silent abort).
    std::function<void(const TEscapedError& outcome)> OnStartEnded;
    std::function<void(const TEscapedError& error)> OnError;
    // Stop has ended on the worker; every row of the run has reached OnRow before.
    std::function<void()> OnStopEnded;

    // Runs look on the worker thread and waits for it: for tests, which check the run's own state. The
    // window never calls it.
    void Inspect(const std::function<void(TProbeRun& run)>& look);

private:
    struct TShared;
    struct TWorker;
    class TCallerRowSink;

    std::shared_ptr<TShared> m_shared;
    std::shared_ptr<TWorker> m_worker;
    std::shared_ptr<TOutageLedger> m_ledger;
};
