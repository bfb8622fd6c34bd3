#include "db/client_calls_in_flight.h"

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {
std::atomic<int> g_callsInFlight{0};

// Runs at exit before the client library's own handlers, which were registered earlier (the library is
// loaded before the first call that is counted).
void SkipClientExitWhileCallsBlock(int status, void*) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (g_callsInFlight > 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fflush(nullptr);
            _exit(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
} // namespace

TClientCallInFlight::TClientCallInFlight() {
    static std::once_flag registered;
    std::call_once(registered, [] { on_exit(SkipClientExitWhileCallsBlock, nullptr); });
    ++g_callsInFlight;
}

TClientCallInFlight::~TClientCallInFlight() {
    --g_callsInFlight;
}
