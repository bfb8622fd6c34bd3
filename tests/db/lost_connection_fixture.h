#pragma once

#include "db/error_handler.h"
#include "db/errors.h"
#include "db/fb_database.h"
#include "db/query.h"
#include "db/tester_setup.h"
#include "db/transaction.h"
#include "tests/support/fault_proxy.h"
#include "tests/support/recording_client_library.h"
#include "tests/support/test_server.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>


using Clock = std::chrono::steady_clock;

// Runs the event loop (restore ticks are timer events) until the condition holds or the time is up.
inline bool WaitUntil(const std::function<bool()>& condition, int milliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

inline int ElapsedMs(Clock::time_point since) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

inline int ThreadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

// The thread count once it holds still for 100 ms (at most 3 s): after an attach whose parameters carry the
// legacy type binding the client library runs a short-lived thread of its own (seen with the binding, never
// without it), which is not ours to count.
inline int SettledThreadCount() {
    int count = ThreadCount();
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    for (auto stableSince = Clock::now(); Clock::now() - stableSince < std::chrono::milliseconds(100) &&
                                          Clock::now() < deadline;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (const int now = ThreadCount(); now != count) {
            count = now;
            stableSince = Clock::now();
        }
    }
    return count;
}

// The client calls of every connection on the library "recorded" (the real one, forwarded).
inline TRecordingClientLibrary& Recorder() {
    static TRecordingClientLibrary* recorder = [] {
        auto created = std::make_shared<TRecordingClientLibrary>(AcquireClientLibrary("gds32.dll"), "recorded");
        RegisterClientLibrary(created);
        return created.get();
    }();
    return *recorder;
}

// The window's components as the tester sets them up, attached through the fault proxy on the recorded
// library; every event is written down in order.
class LostConnection : public testing::Test {
protected:
    // Shorter than the tester's, so that the tests wait less.
    static constexpr uint32_t kRestorePeriod = 500;

    void SetUp() override {
        SetUpTesterErrorHandler(m_handler);
        m_handler.OnFbErrorEvent = [this](TComponent* sender, EFbError&, TKindFbError kind, bool& doRaise) {
            if (kind == keLostConnect)
                doRaise = true;
            m_events.push_back("error " + (sender ? sender->FullName() : "-") + " " + std::to_string(kind));
        };
        m_fdb.SetLibraryName(Recorder().LibraryName());
        m_fdb.SetDBName(m_proxy.DbName(TestServer::Db1()));
        SetUpTesterComponents(m_fdb, m_tro, m_qry1);
        m_fdb.ConnectParams().SetUserName(TestServer::User());
        m_fdb.ConnectParams().SetPassword(TestServer::Password());
        m_fdb.SetWaitForRestoreConnect(kRestorePeriod);
        m_fdb.OnLostConnect = [this](TFbBaseDatabase&, EFbError&, TOnLostConnectActions& actions) {
            m_events.push_back("lost " + std::to_string(actions));
            actions = laWaitRestore;
        };
        m_fdb.OnErrorRestoreConnect = [this](TFbBaseDatabase&, EFbError&, TOnLostConnectActions& actions) {
            m_events.push_back("restore failed " + std::to_string(actions));
            actions = laWaitRestore;
        };
        m_fdb.AfterRestoreConnect = [this](TFbBaseDatabase&) { m_events.push_back("restored"); };
        m_fdb.SetConnected(true);
    }

    // The error a step raised; fails the test when it raised none.
    template <typename Step>
    EFbError ErrorOf(Step step) {
        try {
            step();
        } catch (const EFbError& error) {
            return error;
        }
        ADD_FAILURE() << "no error";
        return EFbError({});
    }

    int Count(const std::string& event) const { return static_cast<int>(std::count(m_events.begin(), m_events.end(), event)); }

    // First, so that it outlives the components whose destruction still reports to it.
    std::vector<std::string> m_events;
    FaultProxy m_proxy;
    TComponent m_form{nullptr, "Form1"};
    TFbErrorHandler m_handler{&m_form, "ErrorHandler1"};
    TFbDatabase m_fdb{&m_form, "FDB"};
    TFbTransaction m_tro{&m_form, "TRO"};
    TFbQuery m_qry1{&m_form, "qry1"};
};

