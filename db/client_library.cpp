#include "db/client_library.h"

#include "core/exceptions.h"
#include "core/platform.h"
#include "core/termination_signals.h"

#include <csignal>
#include <dlfcn.h>

#include <array>
#include <mutex>
#include <vector>

namespace {

// dlsym reports no numeric code; the loader's "procedure not found" code keeps the message as informative as
// the system text it carries.
constexpr int kProcedureNotFound = 127;

// The entry points every loadable library must export, in the order they are looked up.
const char* const kRequiredEntryPoints[] = {
    "BLOB_get", "BLOB_put", "isc_sqlcode", "isc_sql_interprete", "isc_interprete", "isc_vax_integer",
    "isc_blob_info", "isc_open_blob2", "isc_close_blob", "isc_get_segment", "isc_put_segment",
    "isc_create_blob2", "isc_decode_date", "isc_encode_date", "isc_dsql_free_statement", "isc_dsql_execute2",
    "isc_dsql_execute", "isc_dsql_set_cursor_name", "isc_dsql_fetch", "isc_dsql_sql_info",
    "isc_dsql_alloc_statement2", "isc_dsql_prepare", "isc_dsql_describe_bind", "isc_dsql_describe",
    "isc_dsql_execute_immediate", "isc_dsql_exec_immed2", "isc_drop_database", "isc_detach_database",
    "isc_attach_database", "isc_database_info", "isc_start_multiple", "isc_commit_transaction",
    "isc_commit_retaining", "isc_rollback_transaction", "isc_cancel_events", "isc_que_events",
    "isc_event_counts", "isc_event_block", "isc_free", "isc_array_lookup_bounds", "isc_array_get_slice",
    "isc_array_put_slice", "isc_wait_for_event", "isc_transaction_info"};

// Required once the library has isc_rollback_retaining (the version 6 client).
const char* const kVersion6EntryPoints[] = {
    "isc_service_attach", "isc_service_detach", "isc_service_query", "isc_service_start", "isc_decode_sql_date",
    "isc_decode_sql_time", "isc_decode_timestamp", "isc_encode_sql_date", "isc_encode_sql_time",
    "isc_encode_timestamp", "isc_portable_integer"};

// Once in use, the client library answers SIGINT and SIGTERM by shutting itself down under the running
// program, which then crashes in its next call. It asks its callbacks first: while the program handles
// termination signals itself, this one refuses and passes the signal on to that handling.
int RefuseShutdownOnSignal(int reason, int mask, void*) {
    if (mask != fb_shut_confirmation || reason != fb_shutrsn_signal)
        return 0;
    return TTerminationSignals::Notify(SIGTERM) ? 1 : 0;
}

void RegisterShutdownRefusal(void* module) {
    using Register = ISC_STATUS (*)(ISC_STATUS*, FB_SHUTDOWN_CALLBACK, int, void*);
    const auto registerCallback = reinterpret_cast<Register>(dlsym(module, "fb_shutdown_callback"));
    if (registerCallback == nullptr)
        return; // an older client without the callback
    std::array<ISC_STATUS, kStatusVectorLength> status{};
    registerCallback(status.data(), RefuseShutdownOnSignal, fb_shut_confirmation, nullptr);
}

#define QV_PREPEND_COMMA(...) __VA_OPT__(, ) __VA_ARGS__

template <typename Result, typename... Parameters, typename... Arguments>
Result CallEntryPoint(Result (*entryPoint)(Parameters...), Arguments... arguments) {
    return entryPoint(arguments...);
}

// isc_event_block is variadic; its slot holds the variadic entry point under the interface's type, and the
// names array is spread over the 15 name arguments the client accepts (it reads as many as the count says).
using EventBlockSlot = ISC_LONG (*)(ISC_UCHAR**, ISC_UCHAR**, ISC_USHORT, const char* const*);
ISC_LONG CallEntryPoint(EventBlockSlot slot, ISC_UCHAR** events, ISC_UCHAR** results, ISC_USHORT count,
                        const char* const* names) {
    using Variadic = ISC_LONG (*)(ISC_UCHAR**, ISC_UCHAR**, ISC_USHORT, ...);
    const auto eventBlock = reinterpret_cast<Variadic>(slot);
    const char* n[15] = {};
    for (ISC_USHORT i = 0; i < count && i < 15; ++i)
        n[i] = names[i];
    return eventBlock(events, results, count, n[0], n[1], n[2], n[3], n[4], n[5], n[6], n[7], n[8], n[9], n[10],
                      n[11], n[12], n[13], n[14]);
}

// The dlopen/dlsym binding. Each slot is empty until resolved; calling through an empty slot raises.
class TFbClientLibrary final : public IFbClientLibrary {
public:
    explicit TFbClientLibrary(std::string libraryName);
    ~TFbClientLibrary() override { Unload(); }

    const std::string& LibraryName() const override { return m_libraryName; }
    int32_t ClientMajorVersion() const override { return m_clientMajorVersion; }
    int32_t ClientMinorVersion() const override { return m_clientMinorVersion; }
    bool HasCancelOperation() const override { return m_fb_cancel_operation != nullptr; }
    void Unload() override;

#define QV_PASS_THROUGH(result, name, parameters, arguments)                                                         \
    result name parameters override {                                                                                \
        if (m_##name == nullptr)                                                                                     \
            RaiseMissingProcedure(#name);                                                                            \
        return CallEntryPoint(m_##name QV_PREPEND_COMMA arguments);                                                    \
    }
    QV_CLIENT_FUNCTIONS(QV_PASS_THROUGH)
    QV_OPTIONAL_CLIENT_FUNCTIONS(QV_PASS_THROUGH)
#undef QV_PASS_THROUGH

private:
    void ResolveRequired(const char* const* names, size_t count);
    void* Lookup(const char* name) const { return dlsym(m_module, name); }
    void* LookupRequired(const char* name) const;
    void StoreSlot(const char* name, void* address);
    void LoadEntryPoints();
    [[noreturn]] void RaiseMissingProcedure(const char* name) const;

    std::string m_libraryName;
    void* m_module = nullptr;
    int32_t m_clientMajorVersion = 0;
    int32_t m_clientMinorVersion = 0;

#define QV_SLOT(result, name, parameters, arguments) result(*m_##name) parameters = nullptr;
    QV_CLIENT_FUNCTIONS(QV_SLOT)
    QV_OPTIONAL_CLIENT_FUNCTIONS(QV_SLOT)
#undef QV_SLOT
};

TFbClientLibrary::TFbClientLibrary(std::string libraryName) : m_libraryName(std::move(libraryName)) {
    m_module = dlopen(ClientLibraryFileName(m_libraryName).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_module == nullptr)
        throw Exception(FormatText("Can't load library %s ", m_libraryName.c_str()));
    try {
        LoadEntryPoints();
        RegisterShutdownRefusal(m_module);
    } catch (...) {
        Unload();
        throw;
    }
    ResetFloatingPointControl();
}

void TFbClientLibrary::LoadEntryPoints() {
    ResolveRequired(kRequiredEntryPoints, std::size(kRequiredEntryPoints));
    StoreSlot("isc_rollback_retaining", Lookup("isc_rollback_retaining"));
    if (m_isc_rollback_retaining != nullptr) {
        m_clientMajorVersion = 6;
        m_clientMinorVersion = 0;
        ResolveRequired(kVersion6EntryPoints, std::size(kVersion6EntryPoints));
    } else {
        m_clientMajorVersion = 5;
        m_clientMinorVersion = 0;
    }
    StoreSlot("isc_get_client_version", Lookup("isc_get_client_version"));
    if (m_isc_get_client_version != nullptr) {
        StoreSlot("isc_get_client_major_version", LookupRequired("isc_get_client_major_version"));
        StoreSlot("isc_get_client_minor_version", LookupRequired("isc_get_client_minor_version"));
        m_clientMajorVersion = m_isc_get_client_major_version();
        m_clientMinorVersion = m_isc_get_client_minor_version();
        StoreSlot("isc_dsql_batch_execute_immed", Lookup("isc_dsql_batch_execute_immed"));
        StoreSlot("isc_dsql_batch_execute", Lookup("isc_dsql_batch_execute"));
    } else {
        m_clientMinorVersion = 0;
    }
    StoreSlot("fb_cancel_operation", Lookup("fb_cancel_operation"));
}

void TFbClientLibrary::ResolveRequired(const char* const* names, size_t count) {
    for (size_t i = 0; i < count; ++i)
        StoreSlot(names[i], LookupRequired(names[i]));
}

void* TFbClientLibrary::LookupRequired(const char* name) const {
    dlerror();
    void* address = Lookup(name);
    if (address == nullptr) {
        const char* systemText = dlerror();
        if (systemText == nullptr)
            throw EOSError(0, {});
        throw EOSError(kProcedureNotFound, systemText);
    }
    return address;
}

void TFbClientLibrary::StoreSlot(const char* name, void* address) {
    const std::string_view wanted(name);
#define QV_STORE(result, slotName, parameters, arguments)                                                            \
    if (wanted == #slotName) {                                                                                       \
        m_##slotName = reinterpret_cast<result(*) parameters>(address);                                              \
        return;                                                                                                      \
    }
    QV_CLIENT_FUNCTIONS(QV_STORE)
    QV_OPTIONAL_CLIENT_FUNCTIONS(QV_STORE)
#undef QV_STORE
}

void TFbClientLibrary::Unload() {
    if (m_module == nullptr)
        return;
    dlclose(m_module);
    m_module = nullptr;
}

void TFbClientLibrary::RaiseMissingProcedure(const char* name) const {
    throw Exception(FormatText("Can't find procedure %s in %s", name, m_libraryName.c_str()));
}

// Every binding ever registered stays referenced here until the program ends.
struct TClientLibraryRegistry {
    std::mutex lock;
    std::vector<IFbClientLibraryPtr> libraries;
};

TClientLibraryRegistry& Registry() {
    static TClientLibraryRegistry registry;
    return registry;
}

IFbClientLibraryPtr FindRegistered(const TClientLibraryRegistry& registry, const std::string& libraryName) {
    for (const IFbClientLibraryPtr& library : registry.libraries) {
        if (library->LibraryName() == libraryName)
            return library;
    }
    return nullptr;
}

} // namespace

IFbClientLibraryPtr AcquireClientLibrary(const std::string& libraryName) {
    TClientLibraryRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    if (IFbClientLibraryPtr library = FindRegistered(registry, libraryName))
        return library;
    auto library = std::make_shared<TFbClientLibrary>(libraryName);
    registry.libraries.push_back(library);
    return library;
}

void RegisterClientLibrary(IFbClientLibraryPtr library) {
    TClientLibraryRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    if (FindRegistered(registry, library->LibraryName()))
        throw Exception(FormatText("Client library %s is already registered", library->LibraryName().c_str()));
    registry.libraries.push_back(std::move(library));
}

ISC_STATUS* ThreadStatusVector() {
    thread_local ISC_STATUS statusVector[kStatusVectorLength] = {};
    return statusVector;
}

std::string ClientLibraryFileName(const std::string& libraryName) {
    if (libraryName == "gds32.dll")
        return "libfbclient.so.2";
    return libraryName;
}
