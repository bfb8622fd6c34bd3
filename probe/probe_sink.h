#pragma once

#include "core/date_time.h"
#include "log/log_row.h"
#include "probe/probe_messages.h"

#include <string>

// A consumer of what the run measures and of the changes of its connection's state: the journal, the
// metrics, the window, the output of a run without a window. The run calls its sinks on its own thread, one
// event at a time and in the order things happened; a sink must not block (a sink whose readers live on other
// threads guards its own state). Each time is the run's clock: local time less the clock difference, as the
// rows carry it.
//
// An outage begins with the first failed cycle after a good one (or with the first cycle of the run) and ends
// with the next good cycle's row; the re-attach events come in between.
class IProbeSink {
public:
    virtual ~IProbeSink() = default;

    // A run began: Start's attach ended and cycles follow every period. attached: it succeeded; else the run
    // starts in an outage (a probe nobody watches, whose server could not be reached), its first row failing.
    virtual void Started(TDateTime, bool /*attached*/) {}
    // A cycle's executions begin; a cycle whose row is long in coming is blocked in a call.
    virtual void CycleBegun(TDateTime) {}
    virtual void RowMeasured(const TLogRow& row) = 0;
    // The cycle whose row was just told failed after a good one, or was the run's first: error is its text.
    virtual void OutageBegun(TDateTime, const std::string& /*error*/) {}
    // A re-attach attempt during an outage failed, with the attach's error text.
    virtual void ReattachFailed(TDateTime, const std::string& /*error*/) {}
    virtual void Reattached(TDateTime) {}
    // The version of the server reached ("3.0.11.33703"), told after Start's attach and before each Reattached.
    virtual void ServerVersion(const std::string& /*version*/) {}
    // The run ended: Stop, the window closed or the program ended. No event follows until the next Started.
    virtual void Stopped(TDateTime) {}
};
