#include "db/database.h"

#include "core/exceptions.h"
#include "core/platform.h"
#include "core/termination_signals.h"
#include "db/errors.h"
#include "db/legacy_binding.h"
#include "db/param_buffers.h"
#include "db/query_link.h"
#include "db/server_time.h"
#include "db/transaction.h"
#include "db/utf8_file_name.h"

#include <algorithm>
#include <mutex>

namespace {

std::recursive_mutex& DatabaseListLock() {
    static std::recursive_mutex lock;
    return lock;
}

std::vector<TFbBaseDatabase*>& DatabaseList() {
    static std::vector<TFbBaseDatabase*> list;
    return list;
}

void AddToDatabaseList(TFbBaseDatabase* database) {
    std::lock_guard guard(DatabaseListLock());
    DatabaseList().push_back(database);
}

void RemoveFromDatabaseList(TFbBaseDatabase* database) {
    std::lock_guard guard(DatabaseListLock());
    std::erase(DatabaseList(), database);
}

std::string MessageOf(const std::exception& error) {
    if (const auto* exception = dynamic_cast<const Exception*>(&error))
        return exception->Message();
    return error.what();
}

template <typename T>
void AddOnce(std::vector<T*>& list, T* item) {
    if (item != nullptr && std::find(list.begin(), list.end(), item) == list.end())
        list.push_back(item);
}

} // namespace

void ForEachDatabase(const std::function<void(TFbBaseDatabase& database)>& visit) {
    std::lock_guard guard(DatabaseListLock());
    const std::vector<TFbBaseDatabase*> databases = DatabaseList();
    for (TFbBaseDatabase* database : databases)
        visit(*database);
}

TFbBaseDatabase::TFbBaseDatabase(TComponent* owner, std::string name)
    : TComponent(owner, std::move(name)),
      m_idleTimer([this] { return Connected(); }, [this] { DetachOnIdle(); }) {
    m_internalTransaction = std::make_unique<TFbBaseTransaction>(this);
    m_internalTransaction->SetTRParams({"write", "isc_tpb_nowait", "read_committed", "rec_version"});
    m_internalTransaction->SetDefaultDatabase(this);
    AddToDatabaseList(this);
}

TFbBaseDatabase::~TFbBaseDatabase() {
    BeginDestruction();
    try {
        Detach(true, false);
    } catch (const std::exception&) {
    }
    // A failing BeforeDisconnect handler stops a detach; a connection that goes away must not keep the
    // attachment, nor leave its transactions on it, anyway.
    if (Connected())
        ReleaseAttachment(true);
    try {
        m_destructionListeners.CallInOrder(*this);
    } catch (const std::exception&) {
    }
    for (TFbQueryLink* link : std::vector(m_queryLinks)) {
        UnregisterQueryLink(link);
        try {
            link->DatabaseFreeing(*this);
        } catch (const std::exception&) {
        }
    }
    for (TFbBaseTransaction* transaction : std::vector(m_transactions))
        transaction->RemoveDatabase(this);
}

void TFbBaseDatabase::BeginDestruction() {
    if (m_destroying)
        return;
    m_destroying = true;
    RemoveFromDatabaseList(this);
    try {
        if (m_internalTransaction->Active())
            m_internalTransaction->Commit();
    } catch (const std::exception&) {
    }
    m_internalTransaction.reset();
    m_idleTimer.SetInterval(0);
}

void TFbBaseDatabase::SetConnected(bool value) {
    if (value)
        Attach();
    else
        Detach(false, false);
}

void TFbBaseDatabase::SetDBName(const std::string& name) {
    if (name == m_dbName)
        return;
    if (Connected())
        RaiseClientError(ceDbOpen);
    m_dbName = name;
}

// Assigning the lines it already has is no change, so it is accepted while attached: Start assigns the
// user and password again to a connection that re-attached by itself.
void TFbBaseDatabase::SetDBParams(std::vector<std::string> lines) {
    if (lines == m_dbParams)
        return;
    if (Connected())
        RaiseClientError(ceDbOpen);
    m_dbParams = std::move(lines);
    m_paramsChanged = true;
}

void TFbBaseDatabase::SetDefaultTransaction(TFbBaseTransaction* transaction) {
    if (transaction != nullptr)
        transaction->AddDatabase(this);
    m_defaultTransaction = transaction;
}

void TFbBaseDatabase::SetSQLDialect(int32_t dialect) {
    if (dialect < 1 || (Connected() && DatabaseDialect() < dialect))
        RaiseClientError(ceInvalidSqlDialect);
    m_sqlDialect = dialect;
}

void TFbBaseDatabase::SetLibraryName(const std::string& name) {
    if (Connected())
        RaiseClientError(ceDbOpen);
    if (name == m_libraryName)
        return;
    m_library.reset();
    m_libraryName = name;
}

IFbClientLibrary& TFbBaseDatabase::ClientLibrary() {
    if (!m_library)
        m_library = AcquireClientLibrary(m_libraryName);
    return *m_library;
}

void TFbBaseDatabase::UseClientLibrary(IFbClientLibraryPtr library) {
    if (Connected())
        RaiseClientError(ceDbOpen);
    m_library = std::move(library);
}

void TFbBaseDatabase::CheckConnected() const {
    if (!Connected())
        RaiseClientError(ceDbNotOpen, FullName());
}

ISC_STATUS TFbBaseDatabase::CheckStatus(ISC_STATUS result, bool raise) {
    ResetFloatingPointControl();
    m_idleTimer.MarkUsed();
    if (result > 0 && raise)
        RaiseServerError(ClientLibrary(), this);
    return result;
}

void TFbBaseDatabase::RegisterTransaction(TFbBaseTransaction* transaction) { AddOnce(m_transactions, transaction); }

void TFbBaseDatabase::UnregisterTransaction(TFbBaseTransaction* transaction) {
    std::erase(m_transactions, transaction);
    if (m_defaultTransaction == transaction)
        m_defaultTransaction = nullptr;
}

void TFbBaseDatabase::RegisterQueryLink(TFbQueryLink* link) { AddOnce(m_queryLinks, link); }

void TFbBaseDatabase::UnregisterQueryLink(TFbQueryLink* link) { std::erase(m_queryLinks, link); }

void TFbBaseDatabase::NotifyLinks(void (TFbQueryLink::*notice)(TFbBaseDatabase&), bool dropErrors) {
    for (TFbQueryLink* link : std::vector(m_queryLinks)) {
        try {
            (link->*notice)(*this);
        } catch (const std::exception&) {
            if (!dropErrors)
                throw;
        }
    }
}

std::array<char, 512> TFbBaseDatabase::InfoAnswer(uint8_t item) {
    CheckConnected();
    const char items[1] = {static_cast<char>(item)};
    std::array<char, 512> answer{};
    CheckStatus(ClientLibrary().isc_database_info(ThreadStatusVector(), &m_handle, 1, items,
                                                  static_cast<short>(answer.size()), answer.data()),
                true);
    return answer;
}

std::optional<int32_t> TFbBaseDatabase::IntegerInfo(uint8_t item) {
    const std::array<char, 512> answer = InfoAnswer(item);
    if (static_cast<uint8_t>(answer[0]) != item)
        return std::nullopt;
    IFbClientLibrary& library = ClientLibrary();
    const ISC_LONG length = library.isc_vax_integer(answer.data() + 1, 2);
    if (length < 0 || length > 4)
        return std::nullopt;
    return library.isc_vax_integer(answer.data() + 3, static_cast<short>(length));
}

uint16_t TFbBaseDatabase::DatabaseDialect() {
    return static_cast<uint16_t>(IntegerInfo(isc_info_db_sql_dialect).value_or(1));
}

void TFbBaseDatabase::Attach() {
    if (!PrepareAttach())
        return;
    AttachToServer();
    if (!Connected())
        return; // the error handler took the refusal as handled
    CompleteAttach();
}

bool TFbBaseDatabase::PrepareAttach() {
    if (Connected())
        return false;
    bool doConnect = true;
    if (BeforeConnect) {
        BeforeConnect(*this, m_dbParams, doConnect);
        m_paramsChanged = true; // the handler may have edited the parameters
    }
    if (!doConnect)
        return false;
    m_attachmentInfo = TFbAttachmentInfo(); // version unknown until read again
    if (Connected())
        RaiseClientError(ceDbOpen);
    if (m_dbName.empty())
        RaiseClientError(ceDatabaseNameMissing);
    ClientLibrary();
    NotifyLinks(&TFbQueryLink::DatabaseAttaching);
    if (m_useLoginPrompt) {
        if (!LoginPrompt || !LoginPrompt(*this, m_dbParams))
            RaiseClientError(ceOperationCancelled);
        m_paramsChanged = true;
    }
    BuildParamBufferWhenChanged();
    return true;
}

void TFbBaseDatabase::CompleteAttach() {
    NotifyLinks(&TFbQueryLink::DatabaseAttached);
    m_clockDifference = 0;
    AfterAttach();
}

void TFbBaseDatabase::BuildParamBufferWhenChanged() {
    if (!m_paramsChanged)
        return;
    m_paramBuffer = BuildDatabaseParamBuffer(m_dbParams);
    m_paramsChanged = false;
}

namespace {
// The client counts the name and the buffer in signed 16-bit fields: a longer one would crash it or be sent cut.
void CheckClientLength(const TComponent& sender, const std::string& bytes, const char* what) {
    constexpr size_t kClientLengthLimit = 32767;
    if (bytes.size() > kClientLengthLimit)
        throw Exception(FormatText("%s: the %s is longer than 32767 bytes", sender.FullName().c_str(), what));
}
} // namespace

std::string TFbBaseDatabase::AttachBuffer() const {
    std::string buffer = WithUtf8FileName(AttachParamBuffer(WithLegacyBinding(m_paramBuffer)), m_dbName);
    CheckClientLength(*this, m_dbName, "database name");
    CheckClientLength(*this, buffer, "database parameter buffer");
    return buffer;
}

void TFbBaseDatabase::AttachToServer() {
    const std::string buffer = AttachBuffer();
    const ISC_STATUS result =
        m_library->isc_attach_database(ThreadStatusVector(), static_cast<short>(m_dbName.size()), m_dbName.data(),
                                       &m_handle, static_cast<short>(buffer.size()), buffer.data());
    // The client puts its own signal handlers in place at its first attach.
    TTerminationSignals::Reinstall();
    if (result > 0)
        m_handle = 0;
    CheckStatus(result, true);
}

// Failures from here on leave the attachment in place: the connection is attached although the attach raised.
void TFbBaseDatabase::AfterAttach() {
    const uint16_t dialect = DatabaseDialect();
    if (dialect < m_sqlDialect)
        m_sqlDialect = dialect;
    // First: the clock's query depends on the server's version.
    ReadAttachmentInfo();
    if (m_synchronizeTime)
        MeasureClockDifference();
    if (AfterConnect)
        AfterConnect(*this);
    m_attachedListeners.CallInOrder(*this);
}

TDateTime TFbBaseDatabase::QueryServerTime() { return ReadServerTime(*this); }

void TFbBaseDatabase::MeasureClockDifference() {
    const TDateTime serverTime = QueryServerTime();
    m_clockDifference = Now() - serverTime;
}

// The Firebird version text ("LI-V3.0.11.33703 Firebird 3.0") counts; the older item gives the version of
// the InterBase line the server is compatible with (6.3 for every Firebird), so it is only the fallback for
// servers that do not know the first.
void TFbBaseDatabase::ReadServerVersion() {
    for (const uint8_t item : {uint8_t(isc_info_firebird_version), uint8_t(isc_info_version)}) {
        const std::array<char, 512> answer = InfoAnswer(item);
        const std::string text = FirstInfoString(item, answer.data(), answer.size());
        if (!text.empty()) {
            m_attachmentInfo.ParseServerVersion(text);
            return;
        }
    }
}

// Servers from major version 2 on report the attachment's character set; older ones are taken at their word.
void TFbBaseDatabase::ReadAttachmentInfo() {
    ReadServerVersion();
    if (m_attachmentInfo.serverMajor >= 2) {
        if (const std::optional<int32_t> charsetId = IntegerInfo(frb_info_att_charset)) {
            m_attachmentInfo.SetCharsetFlags(*charsetId);
            return;
        }
    }
    m_attachmentInfo.SetCharsetFlags(m_connectParams.CharSet());
}

void TFbBaseDatabase::Detach(bool force, bool /*skipProbe*/) {
    if (!Connected())
        return;
    CallDisconnectEvent(BeforeDisconnect, &m_beforeDetachListeners, "BeforeDisconnect");
    ReleaseAttachment(force);
    CallDisconnectEvent(AfterDisconnect, nullptr, "AfterDisconnect");
}

// With force, the error of one transaction or query is dropped and the others are still ended and told.
void TFbBaseDatabase::ReleaseAttachment(bool force) {
    EndTransactionsForDetach(force);
    NotifyLinks(&TFbQueryLink::DatabaseDetaching, force);
    DetachFromServer();
    NotifyLinks(&TFbQueryLink::DatabaseDetached, force);
}

void TFbBaseDatabase::CallDisconnectEvent(const TNotifyEvent& event, const TNotifyEventList<TComponent&>* listeners,
                                          const char* eventName) {
    try {
        if (event)
            event(*this);
        if (listeners != nullptr)
            listeners->CallInOrder(*this);
    } catch (const std::exception& error) {
        const char* pattern = m_destroying
            ? "Error of %s.%s. Probably you are trying to get access to destroyed components. %s"
            : "Error of %s.%s. %s";
        throw Exception(FormatText(pattern, FullName().c_str(), eventName, MessageOf(error).c_str()));
    }
}

// A transaction cannot outlive its attachment, so a retaining action ends it like its plain one.
void TFbBaseDatabase::EndTransactionsForDetach(bool force) {
    for (TFbBaseTransaction* transaction : std::vector(m_transactions)) {
        if (!transaction->Active())
            continue;
        try {
            transaction->EndTransaction(WithoutRetaining(transaction->TimeoutAction()), true);
        } catch (const std::exception&) {
            if (!force)
                throw;
        }
    }
}

// The server's answer does not matter: the handle is given up whatever happens.
void TFbBaseDatabase::DetachFromServer() {
    try {
        m_library->isc_detach_database(ThreadStatusVector(), &m_handle);
        ResetFloatingPointControl();
    } catch (const std::exception&) {
    }
    m_handle = 0;
}

void TFbBaseDatabase::DetachOnIdle() {
    Detach(false, false);
    if (OnTimeout)
        OnTimeout(*this);
}
