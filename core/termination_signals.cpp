#include "core/termination_signals.h"

#include "core/exceptions.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <unistd.h>

namespace {

constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

int g_readEnd = -1;
std::atomic<int> g_writeEnd{-1};
// Orders Reinstall (on any thread) against the removal of the handlers, so that a removed handler is never
// put back.
std::mutex g_installMutex;

bool WriteSignal(int signalNumber) {
    const int fd = g_writeEnd.load();
    if (fd < 0)
        return false;
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written =
        write(fd, &byte, 1); // a full pipe already holds a request to end
    errno = savedErrno;
    return true;
}

void OnSignal(int signalNumber) {
    WriteSignal(signalNumber);
}

void SetMask(int how) {
    sigset_t set;
    sigemptyset(&set);
    for (const int number : kTerminationSignals)
        sigaddset(&set, number);
    pthread_sigmask(how, &set, nullptr);
}

void SetAction(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kTerminationSignals)
        sigaction(number, &action, nullptr);
}

} // namespace

TTerminationSignals::TTerminationSignals(std::function<void(int)> onSignal)
    : m_onSignal(std::move(onSignal)) {
    if (g_writeEnd.load() >= 0)
        throw Exception("Termination signals are already handled");
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        throw Exception("Cannot create the pipe for termination signals");
    g_readEnd = ends[0];
    g_writeEnd.store(ends[1]);
    m_notifier = std::make_unique<QSocketNotifier>(g_readEnd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { Dispatch(); });
    SetAction(OnSignal);
    SetMask(SIG_UNBLOCK);
}

void TTerminationSignals::HoldUntilHandled() {
    SetMask(SIG_BLOCK);
}

TTerminationSignals::~TTerminationSignals() {
    int writeEnd;
    {
        std::lock_guard lock(g_installMutex);
        SetAction(SIG_DFL);
        writeEnd = g_writeEnd.exchange(-1);
    }
    m_notifier.reset();
    close(writeEnd);
    close(g_readEnd);
    g_readEnd = -1;
}

void TTerminationSignals::Reinstall() {
    std::lock_guard lock(g_installMutex);
    if (g_writeEnd.load() >= 0)
        SetAction(OnSignal);
}

bool TTerminationSignals::Notify(int signalNumber) {
    return WriteSignal(signalNumber);
}

void TTerminationSignals::Dispatch() {
    unsigned char byte = 0;
    while (read(g_readEnd, &byte, 1) == 1)
        if (m_onSignal)
            m_onSignal(byte);
}
