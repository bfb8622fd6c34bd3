#pragma once

#include "probe/outage_watch.h"

#include <QString>

// The run's state in one line below the grid: "Running", "No answer for 12 s" while a call hangs, or
// "Outage since 11:03:22 (2 min 10 s), 25 re-attach attempts failed; last: <the error's reason line>".
QString StateLineText(const TOutageWatch::TState& state);
