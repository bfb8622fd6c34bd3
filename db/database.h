#pragma once

#include "core/component.h"
#include "core/date_time.h"
#include "db/attachment_info.h"
#include "db/client_library.h"
#include "db/connect_params.h"
#include "db/errors.h"
#include "db/idle_timer.h"
#include "db/notify_event_list.h"
#include "db/transaction_action.h"

#include <ibase.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class EFbError;
class TFbBaseTransaction;
class TFbQueryLink;

// Before an attach: the connection, its DBParams (may be edited), and whether to go on.
using TFbLoginEvent =
    std::function<void(TFbBaseDatabase& database, std::vector<std::string>& loginParams, bool& doConnect)>;
// The login dialog of UseLoginPrompt: may edit the parameters; false means the user cancelled.
using TFbLoginPrompt = std::function<bool(TFbBaseDatabase& database, std::vector<std::string>& loginParams)>;

// A connection to one database through the client library: attaches with the connect parameters, learns the
// database's dialect and the server's clock, keeps its transactions and queries informed, and detaches.
class TFbBaseDatabase : public TComponent {
public:
    explicit TFbBaseDatabase(TComponent* owner = nullptr, std::string name = {});
    // Detaches with force when attached. Never throws.
    ~TFbBaseDatabase() override;

    bool Connected() const { return m_handle != 0; }
    // true attaches, false detaches without force; both do nothing when already there.
    void SetConnected(bool value);
    // The database's path or connection string in UTF-8 (a file name, not text of the code page).
    const std::string& DBName() const { return m_dbName; }
    // A different name is refused while attached (ceDbOpen).
    void SetDBName(const std::string& name);
    const std::vector<std::string>& DBParams() const { return m_dbParams; }
    // Refused while attached (ceDbOpen), before anything changes.
    void SetDBParams(std::vector<std::string> lines);
    TConnectParams& ConnectParams() { return m_connectParams; }
    const TConnectParams& ConnectParams() const { return m_connectParams; }
    TFbBaseTransaction* DefaultTransaction() const { return m_defaultTransaction; }
    void SetDefaultTransaction(TFbBaseTransaction* transaction);
    int32_t SQLDialect() const { return m_sqlDialect; }
    // ceInvalidSqlDialect below 1, or above the database's dialect while attached.
    void SetSQLDialect(int32_t dialect);
    // Idle detach in milliseconds; 0 means off.
    uint32_t Timeout() const { return m_idleTimer.Interval(); }
    void SetTimeout(uint32_t milliseconds) { m_idleTimer.SetInterval(milliseconds); }
    bool UseLoginPrompt() const { return m_useLoginPrompt; }
    void SetUseLoginPrompt(bool value) { m_useLoginPrompt = value; }
    // Whether every attach measures the clock difference.
    bool SynchronizeTime() const { return m_synchronizeTime; }
    void SetSynchronizeTime(bool value) { m_synchronizeTime = value; }
    const std::string& LibraryName() const { return m_libraryName; }
    // Refused while attached (ceDbOpen); a new name takes effect at the next attach.
    void SetLibraryName(const std::string& name);

    TFbLoginEvent BeforeConnect;
    TNotifyEvent AfterConnect;
    TNotifyEvent BeforeDisconnect;
    TNotifyEvent AfterDisconnect;
    TNotifyEvent OnTimeout;
    // Sender: the transaction.
    TNotifyEvent BeforeStartTransaction;
    TNotifyEvent AfterStartTransaction;
    TEndTrEvent BeforeEndTransaction;
    TEndTrEvent AfterEndTransaction;
    // Asked at attach while UseLoginPrompt is set; without one the attach counts as cancelled.
    TFbLoginPrompt LoginPrompt;

    // Listeners called after every attach, before every detach, and at destruction.
    TNotifyEventList<TComponent&>& AttachedListeners() { return m_attachedListeners; }
    TNotifyEventList<TComponent&>& BeforeDetachListeners() { return m_beforeDetachListeners; }
    TNotifyEventList<TComponent&>& DestructionListeners() { return m_destructionListeners; }

    virtual void Detach(bool force, bool skipProbe);
    virtual void Attach();

    // Local clock minus server clock, in days: 0 at every attach until measured. A plain value.
    TDateTime ClockDifference() const { return m_clockDifference; }
    void SetClockDifference(TDateTime difference) { m_clockDifference = difference; }
    // The server's current date and time; raises on failure.
    TDateTime QueryServerTime();

    // The dialect of the attached database (1 when the server does not say).
    uint16_t DatabaseDialect();
    // An integer item of isc_database_info, or nothing when the server did not answer that item.
    std::optional<int32_t> IntegerInfo(uint8_t item);
    // Server version and character-set flags, read at every attach.
    const TFbAttachmentInfo& AttachmentInfo() const { return m_attachmentInfo; }

    // For transactions and queries.
    isc_db_handle& Handle() { return m_handle; }
    // The binding of LibraryName, loaded on first use.
    virtual IFbClientLibrary& ClientLibrary();
    // Makes the connection call through this binding (a recording or watching wrapper) instead of acquiring
    // the one of LibraryName; refused while attached (ceDbOpen). A new LibraryName drops it again.
    void UseClientLibrary(IFbClientLibraryPtr library);
    // ceDbNotOpen when not attached.
    void CheckConnected() const;
    // After every client call: resets the floating-point settings, marks the connection as used and raises the
    // server error (sender: the connection) when asked to and the call failed. Returns the result.
    ISC_STATUS CheckStatus(ISC_STATUS result, bool raise);
    // Where the server-time query runs; owned by the connection.
    TFbBaseTransaction& InternalTransaction() { return *m_internalTransaction; }
    const std::vector<TFbBaseTransaction*>& Transactions() const { return m_transactions; }
    void RegisterTransaction(TFbBaseTransaction* transaction);
    void UnregisterTransaction(TFbBaseTransaction* transaction);
    const std::vector<TFbQueryLink*>& QueryLinks() const { return m_queryLinks; }
    void RegisterQueryLink(TFbQueryLink* link);
    void UnregisterQueryLink(TFbQueryLink* link);

protected:
    // The parameter buffer the attach sends, given the one built from DBParams.
    virtual std::string AttachParamBuffer(const std::string& built) const { return built; }
    // The attach around its server call, for an attach whose server call runs on another thread: the steps
    // before it (false when there is nothing to attach: attached already, or BeforeConnect said no), and
    // the steps after it, once the new handle is in place.
    bool PrepareAttach();
    void CompleteAttach();
    // What the attach sends with the database name, built from DBParams by PrepareAttach: refused when the
    // client could not count it.
    std::string AttachBuffer() const;
    // The first steps of destruction, run by the most derived class before its own detach so that an
    // overridden Detach still runs; later calls do nothing.
    void BeginDestruction();
    bool Destroying() const { return m_destroying; }

private:
    void BuildParamBufferWhenChanged();
    void AttachToServer();
    void AfterAttach();
    // Local time after the server-time query minus the server's time.
    void MeasureClockDifference();
    void ReadServerVersion();
    void ReadAttachmentInfo();
    // isc_database_info for one item into a 512-byte answer; raises the server error on failure.
    std::array<char, 512> InfoAnswer(uint8_t item);
    // Calls a detach event (and listeners); an error from them becomes "Error of <name>.<event>. <message>".
    void CallDisconnectEvent(const TNotifyEvent& event, const TNotifyEventList<TComponent&>* listeners,
                             const char* eventName);
    void EndTransactionsForDetach(bool force);
    void NotifyLinks(void (TFbQueryLink::*notice)(TFbBaseDatabase&), bool dropErrors = false);
    // The detach steps between its two events: transactions, queries, the server's handle.
    void ReleaseAttachment(bool force);
    void DetachFromServer();
    void DetachOnIdle();

    isc_db_handle m_handle = 0;
    std::string m_dbName;
    std::vector<std::string> m_dbParams;
    TConnectParams m_connectParams{*this};
    bool m_paramsChanged = true;
    std::string m_paramBuffer;
    std::string m_libraryName = "gds32.dll";
    IFbClientLibraryPtr m_library;
    int32_t m_sqlDialect = 1;
    bool m_useLoginPrompt = false;
    bool m_synchronizeTime = true;
    TDateTime m_clockDifference = 0;
    TFbAttachmentInfo m_attachmentInfo;
    TFbBaseTransaction* m_defaultTransaction = nullptr;
    std::unique_ptr<TFbBaseTransaction> m_internalTransaction;
    std::vector<TFbBaseTransaction*> m_transactions;
    std::vector<TFbQueryLink*> m_queryLinks;
    TNotifyEventList<TComponent&> m_attachedListeners;
    TNotifyEventList<TComponent&> m_beforeDetachListeners;
    TNotifyEventList<TComponent&> m_destructionListeners;
    TFbIdleTimer m_idleTimer;
    bool m_destroying = false;
};

// Calls visit for every connection of the process, in order of creation, while holding the list's lock.
// The visitor must not create or destroy connections.
void ForEachDatabase(const std::function<void(TFbBaseDatabase& database)>& visit);
