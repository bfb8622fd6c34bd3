#pragma once

#include "core/component.h"
#include "log/data_set_listener.h"
#include "log/date_time_field.h"
#include "log/integer_field.h"
#include "log/locale_format.h"
#include "log/log_columns.h"
#include "log/log_row.h"
#include "log/record_store.h"
#include "log/string_field.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class TCsvStreamFormat;

enum TDataSetState { dsBrowse, dsEdit, dsInsert };

// A remembered record; it stays valid while the record exists, whatever is appended or deleted around it.
struct TBookmark {
    uint32_t id = 0; // 0 remembers nothing
    bool operator==(const TBookmark&) const = default;
};

// The log: one record per test cycle, in the order the cycles ended, kept in memory only. It is open for its
// whole life. Every operation holds the table's recursive lock while it runs.
class TMemTable : public TComponent {
public:
    explicit TMemTable(TComponent* owner = nullptr, std::string name = "MT");
    ~TMemTable() override;

    // The fields in column order (also the order of the saved file).
    TDateTimeField MTTime;
    TIntegerField MTValue;
    TStringField MTError;
    static constexpr int FieldCount = LogColumnCount;
    TField& Fields(int index);
    const TField& Fields(int index) const;
    TField* FindField(const std::string& fieldName);

    TDataSetState State() const;
    // A field of the record being inserted or edited was assigned.
    bool Modified() const;

    // Removes every record; the views hear one data set change.
    void ClearRecords();
    // Starts a new record, all fields null, after the last record; it is current until posted or cancelled.
    void BeginAppend();
    // Puts the current record into the edit state; fails on an empty table.
    void BeginEdit();
    // Stores the inserted record as the last one, or the edited record in place.
    void PostRecord();
    // One whole new last record through the field objects: BeginAppend, the three fields, PostRecord.
    void AppendRecord(const TLogRow& row);
    // Drops the inserted record or the pending changes of the edited one.
    void CancelRecord();
    // Removes the current record (while inserting, drops the new record instead).
    void DeleteRecord();
    // Removes every remembered record that still exists, as if each were made current and deleted from the
    // list's end to its start, with notifications suspended (one data set change); empties the list.
    void DeleteRecords(std::vector<TBookmark>& bookmarks);

    // The views' side. Rows count from 0 in row order; while inserting, row RecordCount() is the new record,
    // and the record being edited reads with its pending values.
    int RecordCount() const;
    int RowCount() const;
    int CurrentRow() const; // -1 when there is no current record
    int RecNo() const;      // CurrentRow() + 1, so 0 when there is none
    bool IsEmpty() const { return RecordCount() == 0; }
    void First();
    void Last();
    void Next();
    void Prior();
    // Moves the cursor by up to distance records (negative: backwards); returns how far it moved.
    int MoveBy(int distance);
    void SetRecNo(int recNo);
    TBookmark GetBookmark() const;
    TBookmark RowBookmark(int row) const;
    int RowOfBookmark(TBookmark bookmark) const; // -1 when the record is gone
    bool BookmarkValid(TBookmark bookmark) const { return RowOfBookmark(bookmark) >= 0; }
    // Makes the remembered record current; "Record not found" when it is gone.
    void GotoBookmark(TBookmark bookmark);
    TFieldValue RowValue(int row, int fieldIndex) const;
    bool RowIsNull(int row, int fieldIndex) const;
    // The user's regional settings for Time, decimal digits for Value, the text for Error; empty when null.
    std::string RowDisplayText(int row, int fieldIndex) const;
    // What the grid shows: the same text, but times in the locale's own characters (its designators too).
    QString RowDisplayString(int row, int fieldIndex) const;

    // The current record's fields (what the field objects read and assign).
    TFieldValue FieldValue(int fieldIndex) const;
    void SetFieldValue(int fieldIndex, const TFieldValue& value);

    void AddListener(TDataSetListener* listener);
    void RemoveListener(TDataSetListener* listener);
    // Nested pairs; on the last resume the views hear a state change when the state differs from the one at
    // the first suspend, then one data set change.
    void SuspendNotifications();
    void ResumeNotifications();
    bool NotificationsSuspended() const;

    TCsvStreamFormat* DefaultFormat() const { return m_defaultFormat; }
    void SetDefaultFormat(TCsvStreamFormat* format) { m_defaultFormat = format; }
    // Creates or replaces the file and writes every record through DefaultFormat. The name is the platform's
    // file name exactly as the user chose it, never text of the code page: a name that the code page cannot
    // write must still open that very file.
    void SaveAsText(const QString& fileName);
    // A row as the table would store it: for writers that must match the log without going through a table
    // (a journal).
    static TRecordData StoredRecord(const TLogRow& row);

    // The record filter exists but nothing in the program sets it: every record is visible and saved.
    const std::string& Filter() const { return m_filter; }
    void SetFilter(std::string filter) { m_filter = std::move(filter); }
    bool Filtered() const { return m_filtered; }
    void SetFiltered(bool filtered) { m_filtered = filtered; }
    std::function<void(TMemTable& sender, const TRecordView& record, bool& accept)> OnFilterRecord;

    // Rises whenever stored records are removed or changed in place (not on appends), so that a reader that
    // follows the log can tell "rows were added at the end" from "start again".
    uint64_t RewriteCount() const;
    // Fast readers (the export, the statistics) walk the store directly while holding the lock.
    std::unique_lock<std::recursive_mutex> LockRecords() const { return std::unique_lock(m_lock); }
    const TRecordStore& Records() const { return m_store; }
    // How RowDisplayText writes times.
    const TLocaleFormat& DisplayFormat() const { return m_displayFormat; }
    // The row being inserted or edited, which reads with its pending values; -1 in the browse state.
    int PendingRow() const;

private:
    void CheckBrowseMode();
    TRecordData RowData(int row) const;
    bool IsPendingRow(int row) const;
    void MoveTo(int row);
    void StoreFieldValue(TLogColumn column, const TFieldValue& value);
    void NotifyDataSetChanged();
    void NotifyStateChanged();
    template <class Call> void Notify(Call&& call);

    mutable std::recursive_mutex m_lock;
    TRecordStore m_store;
    TRecordData m_buffer{}; // the record being inserted or edited
    TDataSetState m_state = dsBrowse;
    bool m_modified = false;
    int m_current = -1;
    uint64_t m_rewrites = 0;
    std::vector<TDataSetListener*> m_listeners;
    int m_suspendCount = 0;
    TDataSetState m_stateAtSuspend = dsBrowse;
    TCsvStreamFormat* m_defaultFormat = nullptr;
    std::string m_filter;
    bool m_filtered = false;
    TLocaleFormat m_displayFormat;
};
