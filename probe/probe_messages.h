#pragma once

#include "db/tester_setup.h"

#include <cstdint>
#include <string>
#include <vector>

// The call limit when the user names none: the tester's own.
inline constexpr int32_t kDefaultCallLimitSeconds = kCallTimeoutMs / 1000;

// What Start hands to the run: the entries as they stood when Start was pressed. Later edits do not reach a
// run that is under way (Amount excepted, which the run reads at every cycle).
struct TProbeStartRequest {
    std::string DBName;
    std::string UserName;
    std::string Password;
    std::vector<std::string> SQL;
    uint32_t PeriodMs = 10000;
    // How long one client call may wait for the server before it is cancelled.
    uint32_t CallLimitMs = kCallTimeoutMs;
    // Where the run keeps its journal: the platform's file name (UTF-8) as the user gave it; empty for none.
    std::string JournalPath;
    // A first attach that fails as a lost connection would (the server or the link is down) starts the run in
    // an outage, re-attaching at the restore period, instead of failing Start: for a probe nobody watches.
    bool StartInOutage = false;
};

