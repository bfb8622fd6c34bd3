#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

// Standard output of a run without a window, written on a thread of its own: a reader that stalls (a pipe
// nobody reads, a log collector that hangs) never holds up the run or its stop. The journal is the record;
// what a stalled reader cannot take beyond the queue's capacity is dropped and counted instead.
class TOutputQueue {
public:
    explicit TOutputQueue(int fd, size_t capacityBytes = 4 << 20);
    // Gives the writer a moment for what still waits, then leaves it: it may be blocked in a write for good,
    // and ends with the process.
    ~TOutputQueue();
    TOutputQueue(const TOutputQueue&) = delete;
    TOutputQueue& operator=(const TOutputQueue&) = delete;

    // One whole line: queued whole, or dropped whole when the queue is full. A row is counted when it does
    // not reach the reader; a header is not.
    void Write(std::string bytes, bool row = true);
    // Waits at most budget for the queue to empty; whether it did.
    bool Drain(std::chrono::milliseconds budget);
    // Rows dropped because the queue was full, so far.
    uint64_t Dropped() const;
    // The end of the output: gives the writer at most budget for what still waits, then takes nothing more.
    // The rows that never reached the reader: dropped, still queued, or cut off in the write under way.
    uint64_t Finish(std::chrono::milliseconds budget);
    // The reader went away (the write failed): nothing more is written.
    bool Failed() const;

private:
    struct TState;
    std::shared_ptr<TState> m_state;
};
