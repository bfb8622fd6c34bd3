#include "probe/probe_run.h"

#include "core/escaped_error.h"
#include "core/exceptions.h"
#include "core/platform.h"
#include "db/errors.h"
#include "db/failure.h"
#include "db/query.h"
#include "db/tester_setup.h"
#include "db/transaction.h"
#include "probe/journal.h"

#include <QTimer>

#include <utility>

namespace {
// Holds the 1 ms timer resolution for one measurement and gives it back however the measurement ends.
class TFineTimerResolution {
public:
    TFineTimerResolution() { timeBeginPeriod(1); }
    ~TFineTimerResolution() { timeEndPeriod(1); }
    TFineTimerResolution(const TFineTimerResolution&) = delete;
    TFineTimerResolution& operator=(const TFineTimerResolution&) = delete;
};
} // namespace

TProbeRun::TProbeRun(const std::string& ownerName, TEvents events, std::shared_ptr<TOutageLedger> ledger)
    : m_events(std::move(events)), m_owner(nullptr, ownerName), m_ledger(std::move(ledger)) {
    CreateDatabaseComponents();
    m_Timer1 = std::make_unique<QTimer>();
    m_Timer1->setObjectName("Timer1");
    QObject::connect(m_Timer1.get(), &QTimer::timeout, [this] { Timer1Timer(); });
}

// The components go in the reverse order of their making; the connection detaches with force on its way.
TProbeRun::~TProbeRun() = default;

void TProbeRun::CreateDatabaseComponents() {
    m_ErrorHandler1 = std::make_unique<TFbErrorHandler>(&m_owner, "ErrorHandler1");
    m_FDB = std::make_unique<TFbDatabase>(&m_owner, "FDB");
    m_TRO = std::make_unique<TFbTransaction>(&m_owner, "TRO");
    m_qry1 = std::make_unique<TFbQuery>(&m_owner, "qry1");
    SetUpTesterErrorHandler(*m_ErrorHandler1);
    SetUpTesterComponents(*m_FDB, *m_TRO, *m_qry1);

    m_ErrorHandler1->OnFbErrorEvent = [this](TComponent* sender, EFbError& error, TKindFbError kind,
                                             bool& doRaise) {
        ErrorHandler1ErrorEvent(sender, error, kind, doRaise);
    };
    m_FDB->OnLostConnect = [this](TFbBaseDatabase& database, EFbError& error,
                                  TOnLostConnectActions& actions) {
        FDBLostConnect(database, error, actions);
    };
    m_FDB->OnErrorRestoreConnect = [this](TFbBaseDatabase& database, EFbError& error,
                                          TOnLostConnectActions& actions) {
        FDBErrorRestoreConnect(database, error, actions);
    };
    m_FDB->AfterRestoreConnect = [this](TFbBaseDatabase&) {
        m_lossFailure.reset();
        TellServerVersion();
        Tell([at = RunTime()](IProbeSink& sink) { sink.Reattached(at); });
    };
    m_FDB->ShowErrorMessage = [this](const std::string& message) { m_events.Error({true, message, {}}); };
}

bool TProbeRun::Running() const {
    return m_Timer1->isActive();
}

void TProbeRun::AddSink(std::shared_ptr<IProbeSink> sink) {
    m_sinks.push_back(std::move(sink));
}

TDateTime TProbeRun::RunTime() const {
    return Now() - m_FDB->ClockDifference();
}

// The journal of the run under way is a sink for that run only.
template <typename Event> void TProbeRun::Tell(const Event& event) {
    for (const std::shared_ptr<IProbeSink>& sink : m_sinks)
        event(*sink);
    if (m_journal)
        event(*m_journal);
}

// The attach runs on a helper thread, so the run stays free for its other requests while the server is slow
// to answer; Start ends in AttachEnded. Whatever an earlier run left (a restore attempt, its timer, an
// attachment) goes first: the run attaches afresh to what the entries name.
void TProbeRun::Start(const TProbeStartRequest& request) {
    const TEscapedError escaped = CatchEscapedError([&] {
        m_FDB->AbandonAttaches();
        if (m_FDB->Connected())
            m_FDB->SetConnected(false);
        m_FDB->SetDBName(request.DBName);
        m_FDB->ConnectParams().SetUserName(request.UserName);
        m_FDB->ConnectParams().SetPassword(request.Password);
        m_FDB->SetCallTimeout(request.CallLimitMs);
        m_lossFailure.reset();
        m_ledger->Attaching();
        m_FDB->AttachInBackground([this, request](std::exception_ptr error) { AttachEnded(request, error); });
    });
    if (escaped.failed) {
        m_ledger->NotStarted();
        m_events.StartEnded(escaped);
    }
}

// Start's steps after the attach, up to arming the timer; emptying the log is the receiver's part, done when
// it learns that Start succeeded (before any row of the new run reaches it).
void TProbeRun::AttachEnded(const TProbeStartRequest& request, std::exception_ptr error) {
    const bool inOutage = StartsInOutage(request, error);
    const TEscapedError escaped = CatchEscapedError([&] {
        if (error && !inOutage)
            std::rethrow_exception(error);
        m_qry1->SetSQL(request.SQL);
        m_Timer1->setInterval(static_cast<int>(request.PeriodMs));
        m_Timer1->start();
        if (!m_Timer1->isActive())
            throw Exception("Not enough timers available");
    });
    if (escaped.failed)
        m_ledger->NotStarted();
    m_events.StartEnded(escaped);
    if (!escaped.failed)
        RunFrom(request);
}

// A lost-connection kind of failure (the server or the link is down, or the attach had no answer) with a
// request that keeps trying: the connection waits for its restore as after any lost connection, and the
// first row tells the attach's error.
bool TProbeRun::StartsInOutage(const TProbeStartRequest& request, std::exception_ptr error) {
    if (!error || !request.StartInOutage)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (EFbError& failure) {
        const bool lost =
            TFbErrorHandler::Classify(failure.SqlErrorCode(), failure.EngineErrorCode()) == keLostConnect ||
            (dynamic_cast<EFbClientError*>(&failure) != nullptr &&
             failure.SqlErrorCode() == ceConnectionTimedOut);
        if (!lost)
            return false;
        m_startError = failure.Message();
        TOnLostConnectActions actions = laWaitRestore;
        m_FDB->HandleLostConnection(failure, actions);
        return true;
    } catch (...) {
        return false;
    }
}

void TProbeRun::RunFrom(const TProbeStartRequest& request) {
    // After the news of the start, so that a journal that cannot be made is reported as a failure of a run
    // that goes on.
    if (!request.JournalPath.empty())
        m_journal =
            std::make_shared<TJournal>(request.JournalPath, QDateTime::currentDateTime(),
                                       [this](const Exception& error) { m_events.Error(EscapedErrorOf(error)); });
    const TDateTime at = RunTime();
    m_ledger->Started(at, request.PeriodMs);
    Tell([at, attached = !m_startError](IProbeSink& sink) { sink.Started(at, attached); });
    if (!m_startError)
        TellServerVersion();
}

// The numbers the attach read, as far as the server told them.
void TProbeRun::TellServerVersion() {
    const TFbAttachmentInfo& info = m_FDB->AttachmentInfo();
    std::string version;
    for (const int32_t number : {info.serverMajor, info.serverMinor, info.serverRelease, info.serverBuild}) {
        if (number < 0)
            break;
        version += (version.empty() ? "" : ".") + std::to_string(number);
    }
    if (!version.empty())
        Tell([&version](IProbeSink& sink) { sink.ServerVersion(version); });
}

// The caller has already hurried the connection's calls (so that a blocked one ends at once); the commit and
// the detach run hurried too, and the next Start finds the calls at their normal limit again.
void TProbeRun::Stop() {
    ReportEscaped([this] { StopSteps(); });
    if (m_events.StopHandled)
        m_events.StopHandled();
    if (m_events.StopEnded)
        m_events.StopEnded();
}

void TProbeRun::StartNewJournalFile() {
    if (m_journal)
        m_journal->StartNewFile(QDateTime::currentDateTime());
}

// Stop also ends the waiting for a restore and an attach under way: a stopped tool holds no attachment and
// re-attaches to nothing by itself.
void TProbeRun::StopSteps() {
    const bool wasRunning = m_Timer1->isActive();
    m_Timer1->stop();
    m_startError.reset();
    m_FDB->AbandonAttaches();
    if (wasRunning) {
        const TDateTime at = RunTime();
        TellOutageChange(m_ledger->Stopped(at));
        Tell([at](IProbeSink& sink) { sink.Stopped(at); });
    } else {
        m_ledger->NotStarted(); // a Stop during Start's attach
    }
    // No row comes after this; the journal is on the disk before the server is asked for anything more.
    m_journal.reset();
    CommitAndDetach();
}

// The detach follows whatever the commit does: a failed commit leaves its transaction to be rolled back
// with the attachment, never an attachment on the server. Stop's hurried cancel may reach the server just
// after the statement it was meant for and fail the commit instead; that is Stop's own doing, no error.
void TProbeRun::CommitAndDetach() {
    std::exception_ptr failure;
    try {
        if (m_TRO->Active())
            m_TRO->Commit();
    } catch (...) {
        failure = std::current_exception();
    }
    const bool stopsOwnCancel = m_FDB->TakeCallCutShort() || IsCancel(failure);
    m_FDB->Detach(true, false);
    // A commit that lost the connection started the waiting for a restore; a stopped run re-attaches to nothing.
    m_FDB->AbandonAttaches();
    if (failure && !stopsOwnCancel)
        std::rethrow_exception(failure);
}

bool TProbeRun::IsCancel(std::exception_ptr failure) {
    if (!failure)
        return false;
    try {
        std::rethrow_exception(failure);
    } catch (const EFbError& error) {
        return error.EngineErrorCode() == isc_cancelled;
    } catch (...) {
        return false;
    }
}

void TProbeRun::ReportEscaped(const std::function<void()>& command) {
    if (const TEscapedError escaped = CatchEscapedError(command); escaped.message)
        m_events.Error(escaped);
}

// The run's thread has no nested event loop, so a tick never arrives while a cycle runs: a tick that falls
// due meanwhile waits in the queue and is delivered once.
void TProbeRun::Timer1Timer() {
    ReportEscaped([this] { Cycle(); });
}

// Stop is looked at before every execution, so that a long cycle ends at once; a call that Stop's hurry
// broke before it reached the call limit did not fail by itself.
TProbeRun::TMeasurement TProbeRun::Measure() {
    TFineTimerResolution resolution;
    TMeasurement measurement;
    m_FDB->TakeCallCutShort(); // what an earlier cycle or Stop left
    const uint32_t t0 = timeGetTime();
    try {
        const int32_t amount = m_events.Amount();
        for (int32_t i = 0; i < amount && !measurement.cutShort; ++i) {
            measurement.cutShort = m_events.StopPending();
            if (!measurement.cutShort)
                ExecWatched();
        }
    } catch (const Exception& error) {
        // A failed cycle records the time until the failure; its Error text is what marks it.
        measurement.cutShort = m_FDB->TakeCallCutShort() && m_events.StopPending();
        measurement.errorText = error.Message();
        measurement.failure = CycleFailure(FailureOf(error));
    }
    measurement.elapsedMs = static_cast<int32_t>(timeGetTime() - t0);
    return measurement;
}

// The ledger hears of each execution, so that one call unanswered for longer than a period is an outage
// while it waits, and a long cycle of answered calls is none.
void TProbeRun::ExecWatched() {
    m_ledger->CallBegun();
    struct TCallEnd {
        TOutageLedger& ledger;
        ~TCallEnd() { ledger.CallEnded(); }
    } callEnd{*m_ledger};
    m_qry1->ExecQuery();
}

TFailure TProbeRun::CycleFailure(const TFailure& failure) const {
    if (failure.cause != TFailureCause::Client || m_FDB->Connected() || !m_lossFailure)
        return failure;
    return *m_lossFailure;
}

void TProbeRun::Cycle() {
    Tell([at = RunTime()](IProbeSink& sink) { sink.CycleBegun(at); });
    if (m_startError) {
        TellRow(0, *std::exchange(m_startError, std::nullopt), m_lossFailure);
        return;
    }
    const TMeasurement measurement = Measure();
    if (measurement.cutShort)
        return;
    TellRow(measurement.elapsedMs, measurement.errorText, measurement.failure);
    if (measurement.errorText.empty())
        QueryServerTimeUnlessStopping();
}

// The clock difference is measured anew after a good cycle; a Stop that breaks that query is no failure.
void TProbeRun::QueryServerTimeUnlessStopping() {
    if (m_events.StopPending())
        return;
    try {
        const TDateTime serverTime = m_FDB->QueryServerTime();
        m_FDB->SetClockDifference(Now() - serverTime);
    } catch (const Exception&) {
        if (!m_events.StopPending())
            throw;
    }
}

// A failed row always has a failure: an error without one understood is the client's.
void TProbeRun::TellRow(int32_t elapsedMs, std::string error, std::optional<TFailure> failure) {
    if (error.empty())
        failure.reset();
    else if (!failure)
        failure = TFailure{TFailureCause::Client, {}};
    const TLogRow row{.Time = RunTime(),
                      .Value = elapsedMs,
                      .Error = std::move(error),
                      .Cause = failure ? std::optional(failure->cause) : std::nullopt};
    // The ledger first: a view that reads it when the row reaches it finds the row counted.
    const TOutageTimeline::TChange change = m_ledger->Row(row.Time, failure);
    Tell([&row](IProbeSink& sink) { sink.RowMeasured(row); });
    TellOutageChange(change);
}

void TProbeRun::TellOutageChange(const TOutageTimeline::TChange& change) {
    if (change.begun)
        Tell([&change](IProbeSink& sink) {
            sink.OutageBegun(static_cast<TDateTime>(change.begun->startMs) / MSecsPerDay, change.begun->failure);
        });
    if (change.ended)
        Tell([&change](IProbeSink& sink) {
            sink.OutageEnded(static_cast<TDateTime>(change.ended->endMs) / MSecsPerDay);
        });
}

// Wherever the loss was found (a cycle, the clock's query after it, Start), the rows until the connection is
// back fail for its reason.
void TProbeRun::FDBLostConnect(TFbBaseDatabase&, EFbError& E, TOnLostConnectActions& Actions) {
    Actions = laWaitRestore;
    m_lossFailure = FailureOf(E);
}

// A failed attempt during a run is news for the sinks; the attempt's error itself stays silent.
void TProbeRun::FDBErrorRestoreConnect(TFbBaseDatabase&, EFbError& E, TOnLostConnectActions& Actions) {
    Actions = laWaitRestore;
    if (!Running())
        return;
    const TDateTime at = RunTime();
    const TFailure failure = FailureOf(E);
    m_ledger->ReattachFailed(at, failure);
    Tell([at, &failure](IProbeSink& sink) { sink.ReattachFailed(at, failure); });
}

void TProbeRun::ErrorHandler1ErrorEvent(TComponent*, EFbError&, TKindFbError KindFbError, bool& DoRaise) {
    if (KindFbError == keLostConnect)
        DoRaise = true;
}
