#pragma once

#include <functional>

class QObject;

// Runs call later on the thread of receiver, through its event loop (queued; dropped when receiver goes
// first). Calls posted to one receiver from one thread run in the order they were posted.
//
// Qt's own locking of the event queue is invisible to the thread checker, so the hand-over of what the
// call carries is also made under a lock of ours, which costs one uncontended lock on each side.
void PostCall(QObject* receiver, std::function<void()> call);

// Runs call on the thread of receiver and waits for it to end. Never from that thread itself.
void RunOnThreadOf(QObject* receiver, const std::function<void()>& call);
