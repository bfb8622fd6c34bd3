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

    // One whole line (or lines): queued whole, or dropped whole when the queue is full.
    void Write(std::string bytes);
    // Waits at most budget for the queue to empty; whether it did.
    bool Drain(std::chrono::milliseconds budget);
    // Lines dropped because the queue was full.
    uint64_t Dropped() const;
    // The reader went away (the write failed): nothing more is written.
    bool Failed() const;

private:
    struct TState;
    std::shared_ptr<TState> m_state;
};
