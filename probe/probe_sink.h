#pragma once

#include "core/date_time.h"
#include "core/failure_cause.h"
#include "log/log_row.h"
#include "probe/probe_messages.h"

// A consumer of what the run measures and of the changes of its connection's state: the journal, the
// metrics, the window, the output of a run without a window. The run calls its sinks on its own thread, one
// event at a time and in the order things happened; a sink must not block (a sink whose readers live on other
// threads guards its own state). Each time is the run's clock: local time less the clock difference, as the
// rows carry it.
//
// The outage events are the run's outage ledger's decisions (TOutageLedger), told once: an outage begins at
// the end of the last good cycle before its first failed one, or of the last good cycle before a call that
// went unanswered for longer than one period (told when its row or the run's end shows it), and ends with the
// next good cycle's row. A run that ends inside an outage tells no end: Stopped closes it.
class IProbeSink {
public:
    virtual ~IProbeSink() = default;

    // A run began: Start's attach ended and cycles follow every period. attached: it succeeded; else the run
    // starts in an outage (a probe nobody watches, whose server could not be reached), its first row failing.
    virtual void Started(TDateTime, bool /*attached*/) {}
    // A cycle's executions begin.
    virtual void CycleBegun(TDateTime) {}
    // Cause carries the failure's cause for a failed row.
    virtual void RowMeasured(const TLogRow& row) = 0;
    virtual void OutageBegun(TDateTime /*at*/, const TFailure& /*failure*/) {}
    // A re-attach attempt during an outage failed.
    virtual void ReattachFailed(TDateTime /*at*/, const TFailure& /*failure*/) {}
    virtual void Reattached(TDateTime) {}
    virtual void OutageEnded(TDateTime /*at*/) {}
    // The version of the server reached ("3.0.11.33703"), told after Start's attach and before each Reattached.
    virtual void ServerVersion(const std::string& /*version*/) {}
    // The run ended: Stop, the window closed or the program ended. No event follows until the next Started.
    virtual void Stopped(TDateTime) {}
};
