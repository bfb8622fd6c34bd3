#pragma once

// Client calls that may block for long, counted process-wide: the attaches on their helper threads and every
// watched call on an attachment. The client library's exit handler waits for such calls, which a server that
// took the link and stays silent holds for minutes; so a process that ends while one is still blocked gives
// it a moment (the run had its time to end before) and then ends at once, with its exit code, skipping the
// library's handler.
class TClientCallInFlight {
public:
    TClientCallInFlight();
    ~TClientCallInFlight();
    TClientCallInFlight(const TClientCallInFlight&) = delete;
    TClientCallInFlight& operator=(const TClientCallInFlight&) = delete;
};
