#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP are answered at any moment on the event loop of the thread that made this object
// (SIGHUP ends the window, but the run without one takes it for a new journal file): the handler only writes
// the signal's number to a pipe, and that thread reads it and calls OnSignal there with the number. One object at a time; its destruction gives the signals their default action back.
class TTerminationSignals {
public:
    explicit TTerminationSignals(std::function<void(int)> onSignal);
    ~TTerminationSignals();
    TTerminationSignals(const TTerminationSignals&) = delete;
    TTerminationSignals& operator=(const TTerminationSignals&) = delete;

    // Holds the termination signals back (blocked on the calling thread and on every thread it starts) until
    // an object exists to handle them: called first thing in main, so that a signal in the program's first
    // moments ends it the way its own end does instead of by the default action. The object's making lets
    // them through again on its thread.
    static void HoldUntilHandled();
    // Puts this program's handlers back in force, when an object exists: the Firebird client library puts its
    // own in place at its first call and would otherwise shut itself down under the running program.
    static void Reinstall();
    // Reports a termination signal that somebody else caught, as if it had arrived here (safe on any thread);
    // false when no object handles termination signals.
    static bool Notify(int signalNumber);

private:
    void Dispatch();

    std::function<void(int)> m_onSignal;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
