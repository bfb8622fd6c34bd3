#include "app/output_queue.h"

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {
constexpr std::chrono::milliseconds kGoodbyeBudget{500};
} // namespace

// Shared with the writer thread, which may outlive the queue object.
struct TOutputQueue::TState {
    const int fd;
    const size_t capacity;
    std::mutex mutex;
    std::condition_variable changed;
    struct TLine {
        std::string bytes;
        bool row;
    };
    std::deque<TLine> waiting;
    size_t waitingBytes = 0;
    bool writing = false; // a line taken from the queue is being written
    bool writingRow = false;
    bool stop = false;
    bool failed = false;
    uint64_t dropped = 0;

    TState(int descriptor, size_t capacityBytes) : fd(descriptor), capacity(capacityBytes) {}

    static uint64_t Rows(const std::deque<TLine>& lines) {
        uint64_t rows = 0;
        for (const TLine& line : lines)
            rows += line.row ? 1 : 0;
        return rows;
    }

    bool WriteAll(const std::string& bytes) const {
        for (size_t at = 0; at < bytes.size();) {
            const ssize_t written = ::write(fd, bytes.data() + at, bytes.size() - at);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            at += static_cast<size_t>(written);
        }
        return true;
    }

    void Run() {
        std::unique_lock lock(mutex);
        while (true) {
            changed.wait(lock, [this] { return stop || !waiting.empty(); });
            if (waiting.empty())
                return;
            TLine line = std::move(waiting.front());
            waiting.pop_front();
            waitingBytes -= line.bytes.size();
            writing = true;
            writingRow = line.row;
            lock.unlock();
            const bool ok = WriteAll(line.bytes);
            lock.lock();
            writing = false;
            failed = failed || !ok;
            if (failed && !stop) {
                dropped += Rows(waiting) + (line.row ? 1 : 0);
                waiting.clear();
                waitingBytes = 0;
            }
            changed.notify_all();
        }
    }
};

TOutputQueue::TOutputQueue(int fd, size_t capacityBytes)
    : m_state(std::make_shared<TState>(fd, capacityBytes)) {
    std::thread([state = m_state] { state->Run(); }).detach();
}

TOutputQueue::~TOutputQueue() {
    Finish(kGoodbyeBudget);
}

void TOutputQueue::Write(std::string bytes, bool row) {
    std::lock_guard lock(m_state->mutex);
    if (m_state->failed || m_state->stop)
        return;
    if (m_state->waitingBytes + bytes.size() > m_state->capacity) {
        m_state->dropped += row ? 1 : 0;
        return;
    }
    m_state->waitingBytes += bytes.size();
    m_state->waiting.push_back({std::move(bytes), row});
    m_state->changed.notify_all();
}

uint64_t TOutputQueue::Finish(std::chrono::milliseconds budget) {
    if (!m_state->stop)
        Drain(budget);
    std::lock_guard lock(m_state->mutex);
    if (!m_state->stop) {
        m_state->stop = true;
        // A write still under way is stuck with a reader that takes nothing.
        m_state->dropped += TState::Rows(m_state->waiting) + (m_state->writing && m_state->writingRow ? 1 : 0);
        m_state->waiting.clear();
        m_state->waitingBytes = 0;
        m_state->changed.notify_all();
    }
    return m_state->dropped;
}

bool TOutputQueue::Drain(std::chrono::milliseconds budget) {
    std::unique_lock lock(m_state->mutex);
    return m_state->changed.wait_for(lock, budget,
                                     [this] { return m_state->waiting.empty() && !m_state->writing; });
}

uint64_t TOutputQueue::Dropped() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->dropped;
}

bool TOutputQueue::Failed() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->failed;
}
