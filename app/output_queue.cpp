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
    std::deque<std::string> waiting;
    size_t waitingBytes = 0;
    bool writing = false; // a line taken from the queue is being written
    bool stop = false;
    bool failed = false;
    uint64_t dropped = 0;

    TState(int descriptor, size_t capacityBytes) : fd(descriptor), capacity(capacityBytes) {}

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
            std::string line = std::move(waiting.front());
            waiting.pop_front();
            waitingBytes -= line.size();
            writing = true;
            lock.unlock();
            const bool ok = WriteAll(line);
            lock.lock();
            writing = false;
            failed = failed || !ok;
            if (failed) {
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
    Drain(kGoodbyeBudget);
    std::lock_guard lock(m_state->mutex);
    m_state->stop = true;
    m_state->changed.notify_all();
}

void TOutputQueue::Write(std::string bytes) {
    std::lock_guard lock(m_state->mutex);
    if (m_state->failed)
        return;
    if (m_state->waitingBytes + bytes.size() > m_state->capacity) {
        ++m_state->dropped;
        return;
    }
    m_state->waitingBytes += bytes.size();
    m_state->waiting.push_back(std::move(bytes));
    m_state->changed.notify_all();
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
