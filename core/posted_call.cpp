#include "core/posted_call.h"

#include <QObject>

#include <condition_variable>
#include <mutex>

namespace {
std::mutex g_handOver;
} // namespace

void PostCall(QObject* receiver, std::function<void()> call) {
    std::lock_guard lock(g_handOver);
    QMetaObject::invokeMethod(
        receiver,
        [call = std::move(call)] {
            { std::lock_guard taken(g_handOver); }
            call();
        },
        Qt::QueuedConnection);
}

void RunOnThreadOf(QObject* receiver, const std::function<void()>& call) {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    PostCall(receiver, [&] {
        call();
        std::lock_guard lock(mutex);
        done = true;
        ended.notify_one();
    });
    std::unique_lock lock(mutex);
    ended.wait(lock, [&] { return done; });
}
