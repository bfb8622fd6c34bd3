#include "log/mem_table.h"

#include "core/exceptions.h"
#include "core/text_codec.h"
#include "log/csv_stream_format.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {

// The field objects' classes hold the types their columns describe.
static_assert(LogColumns[lcTime].type == ftDateTime && LogColumns[lcValue].type == ftInteger &&
              LogColumns[lcError].type == ftString);

// The value a field takes, in its column's type; another type is refused.
template <class Value> const Value& AssignedValue(const TFieldValue& value, const TField& field) {
    const auto* typed = std::get_if<Value>(&value);
    if (!typed)
        throw EConvertError(FormatText("Invalid value for field '%s'", field.FieldName().c_str()));
    return *typed;
}

int64_t StoredTime(TDateTime time) {
    const std::optional<int64_t> msecs = DateTimeToMSecs(time);
    if (!msecs)
        throw EConvertError::InvalidDateTime(std::to_string(time));
    return *msecs;
}

// The field keeps the text up to a zero character, and at most its size.
std::string_view StoredError(std::string_view text) {
    return text.substr(0, std::min(text.find('\0'), static_cast<size_t>(LogColumns[lcError].size)));
}

} // namespace

TMemTable::TMemTable(TComponent* owner, std::string name)
    : TComponent(owner, std::move(name)), MTTime(*this, LogColumns[lcTime]), MTValue(*this, LogColumns[lcValue]),
      MTError(*this, LogColumns[lcError]) {}

TMemTable::~TMemTable() = default;

TField& TMemTable::Fields(int index) {
    switch (LogColumnAt(index)) {
    case lcTime: return MTTime;
    case lcValue: return MTValue;
    case lcError: return MTError;
    }
    ThrowFieldIndexOutOfRange(index);
}

const TField& TMemTable::Fields(int index) const { return const_cast<TMemTable*>(this)->Fields(index); }

TField* TMemTable::FindField(const std::string& fieldName) {
    for (int i = 0; i < FieldCount; ++i)
        if (Fields(i).FieldName() == fieldName)
            return &Fields(i);
    return nullptr;
}

TDataSetState TMemTable::State() const {
    std::lock_guard guard(m_lock);
    return m_state;
}

bool TMemTable::Modified() const {
    std::lock_guard guard(m_lock);
    return m_modified;
}

void TMemTable::ClearRecords() {
    std::lock_guard guard(m_lock);
    SuspendNotifications();
    CheckBrowseMode();
    m_store.Clear();
    m_current = -1;
    ++m_rewrites;
    ResumeNotifications();
}

void TMemTable::BeginAppend() {
    std::lock_guard guard(m_lock);
    CheckBrowseMode();
    m_buffer = TRecordData();
    m_modified = false;
    m_state = dsInsert;
    m_current = m_store.Count();
    NotifyStateChanged();
    NotifyDataSetChanged();
}

void TMemTable::BeginEdit() {
    std::lock_guard guard(m_lock);
    if (m_state != dsBrowse)
        return;
    if (m_current < 0)
        throw Exception("Cannot perform this operation on an empty dataset");
    m_buffer = RowData(m_current);
    m_modified = false;
    m_state = dsEdit;
    NotifyStateChanged();
}

void TMemTable::PostRecord() {
    std::lock_guard guard(m_lock);
    if (m_state == dsBrowse)
        return;
    if (m_state == dsInsert) {
        m_store.Append(m_buffer);
        m_current = m_store.Count() - 1;
    } else {
        m_store.Replace(m_current, m_buffer);
        ++m_rewrites;
    }
    m_buffer = TRecordData();
    m_modified = false;
    m_state = dsBrowse;
    NotifyStateChanged();
    NotifyDataSetChanged();
}

void TMemTable::CancelRecord() {
    std::lock_guard guard(m_lock);
    if (m_state == dsBrowse)
        return;
    if (m_state == dsInsert)
        m_current = m_store.Count() - 1;
    m_buffer = TRecordData();
    m_modified = false;
    m_state = dsBrowse;
    NotifyStateChanged();
    NotifyDataSetChanged();
}

void TMemTable::DeleteRecord() {
    std::lock_guard guard(m_lock);
    if (m_state == dsInsert) {
        CancelRecord();
        return;
    }
    if (m_current < 0)
        throw Exception("Cannot perform this operation on an empty dataset");
    const TDataSetState before = m_state;
    m_buffer = TRecordData();
    m_modified = false;
    m_state = dsBrowse;
    m_store.Remove(m_current);
    ++m_rewrites;
    m_current = std::min(m_current, m_store.Count() - 1);
    if (before != dsBrowse)
        NotifyStateChanged();
    NotifyDataSetChanged();
}

void TMemTable::DeleteRecords(std::vector<TBookmark>& bookmarks) {
    std::lock_guard guard(m_lock);
    SuspendNotifications();
    CheckBrowseMode();
    std::vector<int> rows;
    rows.reserve(bookmarks.size());
    int lastVisited = -1; // the list is walked from its end, so its first live entry is deleted last
    for (const TBookmark& bookmark : bookmarks) {
        const int row = m_store.RowOfId(bookmark.id);
        if (row < 0)
            continue;
        if (lastVisited < 0)
            lastVisited = row;
        rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (!rows.empty()) {
        // After the last deletion the record that followed it is current: its row less the deleted rows above.
        const auto above = std::lower_bound(rows.begin(), rows.end(), lastVisited) - rows.begin();
        m_store.RemoveRows(rows);
        ++m_rewrites;
        m_current = std::min(lastVisited - static_cast<int>(above), m_store.Count() - 1);
    }
    bookmarks.clear();
    ResumeNotifications();
}

int TMemTable::RecordCount() const {
    std::lock_guard guard(m_lock);
    return m_store.Count();
}

int TMemTable::RowCount() const {
    std::lock_guard guard(m_lock);
    return m_store.Count() + (m_state == dsInsert ? 1 : 0);
}

int TMemTable::CurrentRow() const {
    std::lock_guard guard(m_lock);
    return m_current;
}

int TMemTable::RecNo() const { return CurrentRow() + 1; }

void TMemTable::First() {
    std::lock_guard guard(m_lock);
    CheckBrowseMode();
    MoveTo(m_store.Count() > 0 ? 0 : -1);
}

void TMemTable::Last() {
    std::lock_guard guard(m_lock);
    CheckBrowseMode();
    MoveTo(m_store.Count() - 1);
}

void TMemTable::Next() { MoveBy(1); }

void TMemTable::Prior() { MoveBy(-1); }

int TMemTable::MoveBy(int distance) {
    std::lock_guard guard(m_lock);
    CheckBrowseMode();
    if (m_current < 0)
        return 0;
    const int64_t target = std::clamp<int64_t>(int64_t{m_current} + distance, 0, m_store.Count() - 1);
    const int moved = static_cast<int>(target - m_current);
    MoveTo(static_cast<int>(target));
    return moved;
}

void TMemTable::SetRecNo(int recNo) {
    std::lock_guard guard(m_lock);
    CheckBrowseMode();
    if (m_store.Count() > 0)
        MoveTo(std::clamp(recNo, 1, m_store.Count()) - 1);
}

TBookmark TMemTable::GetBookmark() const {
    std::lock_guard guard(m_lock);
    return RowBookmark(m_current);
}

TBookmark TMemTable::RowBookmark(int row) const {
    std::lock_guard guard(m_lock);
    if (row < 0 || row >= m_store.Count())
        return {};
    return {m_store.At(row).id};
}

int TMemTable::RowOfBookmark(TBookmark bookmark) const {
    std::lock_guard guard(m_lock);
    return bookmark.id == 0 ? -1 : m_store.RowOfId(bookmark.id);
}

void TMemTable::GotoBookmark(TBookmark bookmark) {
    std::lock_guard guard(m_lock);
    CheckBrowseMode();
    const int row = RowOfBookmark(bookmark);
    if (row < 0)
        throw Exception("Record not found");
    MoveTo(row);
}

TFieldValue TMemTable::RowValue(int row, int fieldIndex) const {
    std::lock_guard guard(m_lock);
    const TLogColumn column = LogColumnAt(fieldIndex);
    const TRecordData record = RowData(row);
    if (!(record.present & LogColumns[column].presence))
        return std::monostate();
    switch (column) {
    case lcTime: return static_cast<TDateTime>(record.timeMs) / MSecsPerDay;
    case lcValue: return record.value;
    case lcError: return record.error;
    }
    ThrowFieldIndexOutOfRange(fieldIndex);
}

bool TMemTable::RowIsNull(int row, int fieldIndex) const {
    std::lock_guard guard(m_lock);
    const TLogColumn column = LogColumnAt(fieldIndex);
    return !(RowData(row).present & LogColumns[column].presence);
}

std::string TMemTable::RowDisplayText(int row, int fieldIndex) const {
    std::lock_guard guard(m_lock);
    const TFieldValue value = RowValue(row, fieldIndex);
    if (const auto* time = std::get_if<TDateTime>(&value))
        return m_displayFormat.DateTimeText(*time);
    if (const auto* number = std::get_if<int32_t>(&value))
        return std::to_string(*number);
    if (const auto* text = std::get_if<std::string>(&value))
        return *text;
    return {};
}

QString TMemTable::RowDisplayString(int row, int fieldIndex) const {
    std::lock_guard guard(m_lock);
    const TFieldValue value = RowValue(row, fieldIndex);
    if (const auto* time = std::get_if<TDateTime>(&value))
        return m_displayFormat.DateTimeString(*time);
    return FromCp1251(RowDisplayText(row, fieldIndex));
}

TFieldValue TMemTable::FieldValue(int fieldIndex) const {
    std::lock_guard guard(m_lock);
    if (m_current < 0)
        return std::monostate();
    return RowValue(m_current, fieldIndex);
}

void TMemTable::SetFieldValue(int fieldIndex, const TFieldValue& value) {
    std::lock_guard guard(m_lock);
    const TLogColumn column = LogColumnAt(fieldIndex);
    if (m_state == dsBrowse)
        throw Exception("Dataset is not in edit mode.");
    StoreFieldValue(column, value);
    m_modified = true;
    const TField& field = Fields(fieldIndex);
    Notify([&field](TDataSetListener& listener) { listener.FieldChanged(field); });
}

void TMemTable::AddListener(TDataSetListener* listener) {
    std::lock_guard guard(m_lock);
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void TMemTable::RemoveListener(TDataSetListener* listener) {
    std::lock_guard guard(m_lock);
    std::erase(m_listeners, listener);
}

void TMemTable::SuspendNotifications() {
    std::lock_guard guard(m_lock);
    if (m_suspendCount++ == 0)
        m_stateAtSuspend = m_state;
}

void TMemTable::ResumeNotifications() {
    std::lock_guard guard(m_lock);
    if (m_suspendCount == 0 || --m_suspendCount > 0)
        return;
    if (m_state != m_stateAtSuspend)
        NotifyStateChanged();
    NotifyDataSetChanged();
}

bool TMemTable::NotificationsSuspended() const {
    std::lock_guard guard(m_lock);
    return m_suspendCount > 0;
}

void TMemTable::SaveAsText(const QString& fileName) {
    std::lock_guard guard(m_lock);
    // Checked before the file is touched, so a missing format never empties an existing file.
    if (!m_defaultFormat)
        throw Exception("No format specified.");
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered))
        throw Exception::FromUtf8(FormatText("Cannot create file \"%s\". %s",
                                             QFileInfo(fileName).absoluteFilePath().toStdString().c_str(),
                                             file.errorString().toStdString().c_str()));
    m_defaultFormat->SaveToStream(*this, file);
}

uint64_t TMemTable::RewriteCount() const {
    std::lock_guard guard(m_lock);
    return m_rewrites;
}

// Leaves the insert or edit state: a record with assigned fields is stored, an untouched one dropped.
void TMemTable::CheckBrowseMode() {
    if (m_state == dsBrowse)
        return;
    if (m_modified)
        PostRecord();
    else
        CancelRecord();
}

TRecordData TMemTable::RowData(int row) const {
    if (IsPendingRow(row))
        return m_buffer;
    if (row < 0 || row >= m_store.Count())
        throw Exception(FormatText("Row out of range: %d", row));
    const TRecordView view = m_store.At(row);
    return {.timeMs = view.timeMs, .value = view.value, .error = std::string(view.error), .present = view.present};
}

bool TMemTable::IsPendingRow(int row) const { return m_state != dsBrowse && row == m_current; }

int TMemTable::PendingRow() const {
    std::lock_guard guard(m_lock);
    return m_state == dsBrowse ? -1 : m_current;
}

void TMemTable::MoveTo(int row) {
    if (row == m_current)
        return;
    m_current = row;
    NotifyDataSetChanged();
}

void TMemTable::StoreFieldValue(TLogColumn column, const TFieldValue& value) {
    const TField& field = Fields(column);
    switch (column) {
    case lcTime: m_buffer.timeMs = StoredTime(AssignedValue<TDateTime>(value, field)); break;
    case lcValue: m_buffer.value = AssignedValue<int32_t>(value, field); break;
    case lcError: m_buffer.error.assign(StoredError(AssignedValue<std::string>(value, field))); break;
    }
    m_buffer.present |= LogColumns[column].presence;
}

void TMemTable::AppendRecord(const TLogRow& row) {
    std::lock_guard guard(m_lock);
    BeginAppend();
    m_buffer = StoredRecord(row);
    PostRecord();
}

TRecordData TMemTable::StoredRecord(const TLogRow& row) {
    return {.timeMs = StoredTime(row.Time),
            .value = row.Value,
            .error = std::string(StoredError(row.Error)),
            .present = EveryLogColumnPresent};
}

void TMemTable::NotifyDataSetChanged() {
    Notify([](TDataSetListener& listener) { listener.DataSetChanged(); });
}

void TMemTable::NotifyStateChanged() {
    Notify([](TDataSetListener& listener) { listener.StateChanged(); });
}

template <class Call> void TMemTable::Notify(Call&& call) {
    if (m_suspendCount > 0)
        return;
    // A listener may detach itself while hearing, so walk a copy.
    const std::vector<TDataSetListener*> listeners = m_listeners;
    for (TDataSetListener* listener : listeners)
        call(*listener);
}
