#include "probe/probe.h"

#include "core/posted_call.h"
#include "probe/probe_run.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QThread>

#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>

namespace {
// How long the end of a run may take, from the first stop it has not yet answered, before the caller stops
// waiting for it; the call watchdog's hurried escalation (about two seconds) ends a blocked call within it
// unless the client library itself holds the call.
constexpr std::chrono::milliseconds kEndBudget{2300};
} // namespace

// What the worker's events reach: the caller's thread through its receiver, while the TProbe exists.
struct TProbe::TShared {
    std::mutex mutex;
    QObject* receiver = nullptr;
    std::atomic<int32_t> amount{1};

    // Stops asked for by the caller and handled by the run, and the end of the run (which is never undone).
    // Under one lock with the hurry of the calls, so that the end of one Stop cannot undo the hurry of the
    // next Stop or of the end.
    std::mutex stopMutex;
    uint64_t stopsRequested = 0;
    uint64_t stopsHandled = 0;
    bool ending = false;
    // When the oldest stop not yet handled was asked for.
    std::chrono::steady_clock::time_point pendingSince;

    void RequestStop(TFbDatabase& FDB, bool end) {
        std::lock_guard lock(stopMutex);
        if (stopsHandled == stopsRequested)
            pendingSince = std::chrono::steady_clock::now();
        ++stopsRequested;
        ending = ending || end;
        FDB.HurryCalls(true);
    }
    void StopHandled(TFbDatabase& FDB) {
        std::lock_guard lock(stopMutex);
        ++stopsHandled;
        if (!ending && stopsHandled >= stopsRequested)
            FDB.HurryCalls(false);
    }
    bool StopPending() {
        std::lock_guard lock(stopMutex);
        return ending || stopsHandled < stopsRequested;
    }
    // The time left to wait for the end, counted from the oldest stop still unanswered.
    std::chrono::steady_clock::time_point EndDeadline() {
        std::lock_guard lock(stopMutex);
        return pendingSince + kEndBudget;
    }

    void Post(std::function<void()> call) {
        std::lock_guard lock(mutex);
        if (receiver != nullptr)
            PostCall(receiver, std::move(call));
    }
};

// Hands each row to OnRow on the caller's thread.
class TProbe::TCallerRowSink : public IProbeSink {
public:
    TCallerRowSink(TProbe* probe, std::shared_ptr<TShared> shared)
        : m_probe(probe), m_shared(std::move(shared)) {}
    void RowMeasured(const TLogRow& row) override {
        m_shared->Post([probe = m_probe, row] {
            if (probe->OnRow)
                probe->OnRow(row);
        });
    }

private:
    TProbe* m_probe;
    std::shared_ptr<TShared> m_shared;
};

// The worker thread and what lives on it. Shared with the queued calls, so that a worker that cannot end in
// time keeps what it still uses.
struct TProbe::TWorker {
    QThread* thread = nullptr;
    QObject* anchor = nullptr; // lives on the worker thread: queued calls run there
    std::unique_ptr<TProbeRun> run;

    void Post(std::function<void()> call) const { PostCall(anchor, std::move(call)); }
};

TProbe::TProbe(const std::string& ownerName)
    : m_shared(std::make_shared<TShared>()), m_worker(std::make_shared<TWorker>()),
      m_ledger(std::make_shared<TOutageLedger>()) {
    m_shared->receiver = new QObject;
    m_worker->thread = new QThread;
    m_worker->thread->setObjectName("probe");
    m_worker->anchor = new QObject;
    m_worker->anchor->moveToThread(m_worker->thread);
    m_worker->thread->start();

    TProbeRun::TEvents events;
    const std::shared_ptr<TShared> shared = m_shared;
    events.StartEnded = [this, shared](const TEscapedError& outcome) {
        shared->Post([this, outcome] {
            if (OnStartEnded)
                OnStartEnded(outcome);
        });
    };
    events.Error = [this, shared](const TEscapedError& error) {
        shared->Post([this, error] {
            if (OnError)
                OnError(error);
        });
    };
    events.StopEnded = [this, shared] {
        shared->Post([this] {
            if (OnStopEnded)
                OnStopEnded();
        });
    };
    events.Amount = [shared] { return shared->amount.load(); };
    events.StopPending = [shared] { return shared->StopPending(); };
    events.StopHandled = [shared, worker = m_worker.get()] { shared->StopHandled(worker->run->FDB()); };

    std::exception_ptr failure;
    RunOnThreadOf(m_worker->anchor, [worker = m_worker.get(), &ownerName, &events, &failure, this] {
        try {
            worker->run = std::make_unique<TProbeRun>(ownerName, std::move(events), m_ledger);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    if (!failure)
        AddSink(std::make_shared<TCallerRowSink>(this, shared));
    if (failure) {
        m_worker->anchor->deleteLater();
        m_worker->thread->quit();
        m_worker->thread->wait();
        delete m_worker->thread;
        delete m_shared->receiver;
        std::rethrow_exception(failure);
    }
}

TProbe::~TProbe() {
    {
        std::lock_guard lock(m_shared->mutex);
        delete m_shared->receiver; // with it go the calls still queued for this side
        m_shared->receiver = nullptr;
    }
    std::shared_ptr<TWorker> worker = m_worker;
    m_shared->RequestStop(worker->run->FDB(), true);
    worker->Post([worker] {
        worker->run.reset();
        worker->anchor->deleteLater();
        QThread::currentThread()->quit();
    });
    if (worker->thread->wait(QDeadlineTimer(m_shared->EndDeadline())))
        delete worker->thread;
    // Otherwise the worker is still inside a client call that nothing could break, and the run is abandoned:
    // what the call brings back goes nowhere, the connection detaches when it returns, and the thread is left
    // to the end of the process.
}

void TProbe::AddSink(std::shared_ptr<IProbeSink> sink) {
    m_worker->Post([worker = m_worker, sink = std::move(sink)] { worker->run->AddSink(sink); });
}

void TProbe::Start(const TProbeStartRequest& request) {
    m_worker->Post([worker = m_worker, request] { worker->run->Start(request); });
}

// A call that blocks the run is cancelled now, and a long cycle ends at its next execution, not when the run
// gets to the stop request.
void TProbe::Stop() {
    m_shared->RequestStop(m_worker->run->FDB(), false);
    m_worker->Post([worker = m_worker] { worker->run->Stop(); });
}

void TProbe::StartNewJournalFile() {
    m_worker->Post([worker = m_worker] { worker->run->StartNewJournalFile(); });
}

void TProbe::SetAmount(int32_t amount) { m_shared->amount = amount; }

void TProbe::Inspect(const std::function<void(TProbeRun& run)>& look) {
    RunOnThreadOf(m_worker->anchor, [worker = m_worker.get(), &look] { look(*worker->run); });
}
