#pragma once

#include "db/client_library.h"

#include <string>
#include <vector>

// Forwards every call to a real binding and notes the name of each client function called, in order.
// Tests derive from it to change single answers (override a method, call the base for the rest).
class TRecordingClientLibrary : public IFbClientLibrary {
public:
    // Registered under `name` (RegisterClientLibrary), a connection whose LibraryName is `name` uses it.
    explicit TRecordingClientLibrary(IFbClientLibraryPtr inner, std::string name = {})
        : m_inner(std::move(inner)), m_name(name.empty() ? m_inner->LibraryName() : std::move(name)) {}

    const std::vector<std::string>& Calls() const { return m_calls; }
    void ClearCalls() { m_calls.clear(); }
    IFbClientLibrary& Inner() const { return *m_inner; }

    const std::string& LibraryName() const override { return m_name; }
    int32_t ClientMajorVersion() const override { return m_inner->ClientMajorVersion(); }
    int32_t ClientMinorVersion() const override { return m_inner->ClientMinorVersion(); }
    bool HasCancelOperation() const override { return m_inner->HasCancelOperation(); }
    void Unload() override { m_inner->Unload(); }

#define QV_RECORD_AND_FORWARD(result, name, parameters, arguments)                                                   \
    result name parameters override {                                                                                \
        m_calls.push_back(#name);                                                                                    \
        return m_inner->name arguments;                                                                              \
    }
    QV_CLIENT_FUNCTIONS(QV_RECORD_AND_FORWARD)
    QV_OPTIONAL_CLIENT_FUNCTIONS(QV_RECORD_AND_FORWARD)
#undef QV_RECORD_AND_FORWARD

private:
    IFbClientLibraryPtr m_inner;
    std::string m_name;
    std::vector<std::string> m_calls;
};
