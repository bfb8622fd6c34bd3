#pragma once

#include "probe/outage_ledger.h"

#include <QString>

// The run's state in one line below the grid, as the outage ledger has it: "Attaching to <target> (4 s)",
// "Running", or "Outage since 11:03:22 (2 min 10 s): network — <reason>; 25 re-attach attempts failed;
// last: <the last one's reason>". The cause and the length come first, so that a cut line keeps them.
QString StateLineText(const TOutageLedger::TState& state, const QString& target);
