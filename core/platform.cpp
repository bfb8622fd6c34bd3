#include "core/platform.h"

#include <atomic>
#include <cfenv>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <langinfo.h>
#include <locale.h>
#include <sys/prctl.h>
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

void ForbidCoreDumps() { prctl(PR_SET_DUMPABLE, 0, 0, 0, 0); }

std::optional<std::string> TakeSecretVariable(const char* name) {
    char* value = std::getenv(name);
    if (value == nullptr)
        return std::nullopt;
    std::string taken(value);
    // The whole "name=value" is overwritten in place: unsetenv only drops the pointer, the bytes would stay.
    char* entry = value - std::strlen(name) - 1;
    const size_t entrySize = std::strlen(entry);
    unsetenv(name);
    std::memset(entry, 0, entrySize);
    return taken;
}

namespace {
// The locale a category of the environment names, as setlocale(category, "") finds it.
std::string EnvironmentLocale(const char* category) {
    for (const char* name : {"LC_ALL", category, "LANG"})
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0')
            return value;
    return "C";
}

bool IsUtf8Locale(const std::string& name) {
    const locale_t locale = newlocale(LC_CTYPE_MASK, name.c_str(), locale_t{});
    if (locale == locale_t{})
        return false;
    const bool utf8 = std::strcmp(nl_langinfo_l(CODESET, locale), "UTF-8") == 0;
    freelocale(locale);
    return utf8;
}
} // namespace

void UseUtf8CharacterType() {
    constexpr const char* Utf8 = "C.UTF-8";
    if (IsUtf8Locale(EnvironmentLocale("LC_CTYPE")) || !IsUtf8Locale(Utf8))
        return;
    // LC_ALL rules every category: each gets its value by itself, so that the character type can differ.
    if (const char* all = std::getenv("LC_ALL"); all != nullptr && *all != '\0') {
        const std::string value = all;
        unsetenv("LC_ALL");
        for (const char* category : {"LC_COLLATE", "LC_MESSAGES", "LC_MONETARY", "LC_NUMERIC", "LC_TIME",
                                     "LC_ADDRESS", "LC_IDENTIFICATION", "LC_MEASUREMENT", "LC_NAME", "LC_PAPER",
                                     "LC_TELEPHONE"})
            setenv(category, value.c_str(), 1);
    }
    setenv("LC_CTYPE", Utf8, 1);
}
