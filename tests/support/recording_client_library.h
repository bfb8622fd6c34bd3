#pragma once

#include "db/client_library.h"

#include <mutex>
#include <string>
#include <vector>

// Forwards every call to a real binding and notes the name of each client function called, in order.
// Tests derive from it to change single answers (override a method, call the base for the rest). Calls may
// come from several threads (restore attempts attach on a helper thread).
class TRecordingClientLibrary : public IFbClientLibrary {
public:
    // Registered under `name` (RegisterClientLibrary), a connection whose LibraryName is `name` uses it.
    explicit TRecordingClientLibrary(IFbClientLibraryPtr inner, std::string name = {})
        : m_inner(std::move(inner)), m_name(name.empty() ? m_inner->LibraryName() : std::move(name)) {}

    std::vector<std::string> Calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    void ClearCalls() {
        std::lock_guard lock(m_mutex);
        m_calls.clear();
    }
    IFbClientLibrary& Inner() const { return *m_inner; }

    const std::string& LibraryName() const override { return m_name; }
    int32_t ClientMajorVersion() const override { return m_inner->ClientMajorVersion(); }
    int32_t ClientMinorVersion() const override { return m_inner->ClientMinorVersion(); }
    bool HasCancelOperation() const override { return m_inner->HasCancelOperation(); }
    void Unload() override { m_inner->Unload(); }

#define QV_RECORD_AND_FORWARD(result, name, parameters, arguments)                                                   \
    result name parameters override {                                                                                \
        Record(#name);                                                                                               \
        return m_inner->name arguments;                                                                              \
    }
    QV_CLIENT_FUNCTIONS(QV_RECORD_AND_FORWARD)
    QV_OPTIONAL_CLIENT_FUNCTIONS(QV_RECORD_AND_FORWARD)
#undef QV_RECORD_AND_FORWARD

private:
    void Record(const char* name) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(name);
    }

    IFbClientLibraryPtr m_inner;
    std::string m_name;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
};
