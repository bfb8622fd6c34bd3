#include "core/platform.h"

#include <atomic>
#include <cfenv>
#include <climits>
#include <csignal>
#include <ctime>
#include <unistd.h>

namespace {
std::atomic<int> g_resolutionRequests{0};
}

uint32_t timeGetTime() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void timeBeginPeriod(unsigned) { ++g_resolutionRequests; }

void timeEndPeriod(unsigned) { --g_resolutionRequests; }

int TimerResolutionRequests() { return g_resolutionRequests.load(); }

void ResetFloatingPointControl() { std::fesetenv(FE_DFL_ENV); }

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

std::string ExecutableDirectory() {
    const std::string path = ExecutablePath();
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }
