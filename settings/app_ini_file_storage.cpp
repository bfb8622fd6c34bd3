#include "settings/app_ini_file_storage.h"

#include "core/convert.h"
#include "core/exceptions.h"
#include "core/platform.h"
#include "settings/ini_file_text.h"
#include "settings/text_parts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {
// More items than any real list has; a damaged item number must not make the program ask for memory without end.
constexpr int32_t MaxListItems = 1000000;

QString NativeName(const std::string& fileName) {
    return QFile::decodeName(QByteArray::fromStdString(fileName));
}

// Beside the executable when the program may write there (a copy in a folder of its own keeps its settings
// with it); otherwise, as for an installed copy, in the user's configuration folder. As for the file itself,
// the owner's write permission counts, so that a folder made read-only stays so even for root.
std::string ExeFileDirectory() {
    const std::string exeDirectory = ExecutableDirectory();
    const QFileInfo folder(NativeName(exeDirectory));
    if (folder.isWritable() && folder.permissions().testFlag(QFileDevice::WriteOwner))
        return exeDirectory;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QFile::encodeName(config + "/quorvane/").toStdString();
}

std::vector<std::string> PathSegments(const std::string& path) {
    auto segments = SplitText(path, '\\');
    std::erase_if(segments, [](const std::string& segment) { return segment.empty(); });
    return segments;
}

std::string Joined(const std::vector<std::string>& segments, size_t count) {
    std::string joined;
    for (size_t i = 0; i < count; ++i)
        joined += (i ? "\\" : "") + segments[i];
    return joined;
}

std::vector<std::string> ListEntries(const std::string& commaSeparated) {
    auto entries = SplitText(commaSeparated, ',');
    for (std::string& entry : entries)
        entry = TIniDocument::Trimmed(entry);
    return entries;
}

bool InList(const std::string& text, const std::string& commaSeparated) {
    const auto entries = ListEntries(commaSeparated);
    return std::any_of(entries.begin(), entries.end(),
                       [&](const std::string& entry) { return SameTextIgnoringCase(entry, text); });
}

std::string ItemKey(int index) {
    return "Item" + IntToStr(index);
}

// The index of a line named "Item<decimal>" exactly as the storage writes it, or -1.
int ItemIndex(const std::string& line) {
    const std::string name = TIniDocument::LineName(line);
    int32_t index = -1;
    if (name.size() < 5 || !SameTextIgnoringCase(name.substr(0, 4), "Item") ||
        !TryStrToInt(name.substr(4), index) || index < 0 || ItemKey(index) != "Item" + name.substr(4))
        return -1;
    return index;
}
} // namespace

TAppIniFileStorage::TAppIniFileStorage(TComponent* owner, std::string name)
    : TComponent(owner, std::move(name)) {
}

TAppIniFileStorage::~TAppIniFileStorage() {
    if (!m_flushOnDestroy)
        return;
    try {
        SaveToDisk();
    } catch (...) {
        // A destructor never throws; the settings are simply not saved.
    }
}

void TAppIniFileStorage::SetFileName(std::string fileName) {
    m_fileName = std::move(fileName);
    UpdateFullFileName();
}

void TAppIniFileStorage::SetLocation(TFileLocation location) {
    m_location = location;
    UpdateFullFileName();
}

void TAppIniFileStorage::SetCustomDirectory(std::string directory) {
    m_customDirectory = std::move(directory);
    UpdateFullFileName();
}

void TAppIniFileStorage::UpdateFullFileName() {
    const auto separator = m_fileName.find_last_of("/\\");
    std::string name = separator == std::string::npos ? m_fileName : m_fileName.substr(separator + 1);
    if (name.empty()) {
        m_fullFileName.clear();
        return;
    }
    if (name.find('.') == std::string::npos)
        name += ".ini";
    std::string directory = m_location == flExeFile ? ExeFileDirectory() : m_customDirectory;
    if (!directory.empty() && directory.back() != '/')
        directory += '/';
    m_fullFileName = directory + name;
}

bool TAppIniFileStorage::IsReadOnly() const {
    if (m_readOnly)
        return true;
    const QFileInfo file(NativeName(m_fullFileName));
    // The owner's write permission stands for the read-only attribute, so that it holds even for root.
    return !m_fullFileName.empty() && file.exists() &&
           (!file.isWritable() || !file.permissions().testFlag(QFileDevice::WriteOwner));
}

std::string TAppIniFileStorage::ResolveSection(std::string section) const {
    if (section.empty() || section.front() == '.')
        section = m_defaultSection + section;
    if (section.empty() || section.front() == '.')
        throw Exception("TAppIniFileStorage.ReadValue: Section undefined");
    return section;
}

TAppIniFileStorage::TValuePath TAppIniFileStorage::SplitValuePath(const std::string& path) const {
    const auto segments = PathSegments(path);
    if (segments.empty())
        return {ResolveSection({}), {}};
    return {ResolveSection(Joined(segments, segments.size() - 1)), segments.back()};
}

std::string TAppIniFileStorage::SectionOfPath(const std::string& path) const {
    const auto segments = PathSegments(path);
    return ResolveSection(Joined(segments, segments.size()));
}

void TAppIniFileStorage::ReloadIfAuto() {
    if (m_autoReload)
        LoadFromDisk();
}

bool TAppIniFileStorage::BeginWrite() {
    if (IsReadOnly())
        return false;
    ReloadIfAuto();
    return true;
}

void TAppIniFileStorage::FlushIfAuto() {
    if (m_autoFlush)
        SaveToDisk();
}

bool TAppIniFileStorage::HasValue(const std::string& path) {
    ReloadIfAuto();
    const TValuePath value = SplitValuePath(path);
    return m_document.Value(value.Section, value.Key).has_value();
}

bool TAppIniFileStorage::HasSection(const std::string& path) {
    ReloadIfAuto();
    return m_document.HasSection(SectionOfPath(path));
}

std::string TAppIniFileStorage::GetString(const std::string& path, const std::string& defaultValue) {
    ReloadIfAuto();
    const TValuePath value = SplitValuePath(path);
    return m_document.Value(value.Section, value.Key).value_or(defaultValue);
}

void TAppIniFileStorage::SetString(const std::string& path, const std::string& value) {
    if (!BeginWrite())
        return;
    const TValuePath target = SplitValuePath(path);
    m_document.SetValue(target.Section, target.Key, value);
    FlushIfAuto();
}

int32_t TAppIniFileStorage::GetInteger(const std::string& path, int32_t defaultValue) {
    ReloadIfAuto();
    const TValuePath value = SplitValuePath(path);
    const auto stored = m_document.Value(value.Section, value.Key);
    if (!stored)
        return defaultValue;
    return stored->empty() ? 0 : StrToInt(*stored);
}

void TAppIniFileStorage::SetInteger(const std::string& path, int32_t value) {
    SetString(path, IntToStr(value));
}

bool TAppIniFileStorage::GetBoolean(const std::string& path, bool defaultValue) {
    ReloadIfAuto();
    const TValuePath value = SplitValuePath(path);
    const auto stored = m_document.Value(value.Section, value.Key);
    if (!stored)
        return defaultValue;
    if (InList(*stored, m_trueValues))
        return true;
    if (InList(*stored, m_falseValues))
        return false;
    return !stored->empty() && StrToInt(*stored) != 0;
}

void TAppIniFileStorage::SetBoolean(const std::string& path, bool value) {
    SetString(path, ListEntries(value ? m_trueValues : m_falseValues).front());
}

int TAppIniFileStorage::GetStringList(const std::string& path, std::vector<std::string>& list) {
    list.clear();
    ReloadIfAuto();
    const std::string section = SectionOfPath(path);
    if (const auto count = m_document.Value(section, "Count")) {
        const int32_t items = count->empty() ? 0 : StrToInt(*count);
        // One pass over the section, the last line of an item counting; items that are missing read empty,
        // up to the last one present: a damaged count must not add lines that the file never held.
        const std::vector<std::string>& lines = m_document.FindSection(section)->Lines;
        int present = 0;
        for (const std::string& line : lines)
            if (const int index = ItemIndex(line); index >= 0 && index < std::min(items, MaxListItems))
                present = std::max(present, index + 1);
        list.resize(static_cast<size_t>(present));
        for (const std::string& line : lines) {
            const int index = ItemIndex(line);
            if (index >= 0 && index < present)
                list[static_cast<size_t>(index)] = TIniDocument::LineValue(line);
        }
    } else {
        const TValuePath plain = SplitValuePath(path);
        if (const auto text = m_document.Value(plain.Section, plain.Key))
            list = TIniDocument::SplitLines(*text);
    }
    return static_cast<int>(list.size());
}

void TAppIniFileStorage::SetStringList(const std::string& path, const std::vector<std::string>& list) {
    if (!BeginWrite())
        return;
    const std::string section = SectionOfPath(path);
    m_document.SetValue(section, "Count", IntToStr(static_cast<int64_t>(list.size())));
    // Items are found in one pass, so that a long list is not searched for once per item.
    std::vector<std::string>& lines = m_document.FindOrAddSection(section).Lines;
    std::vector<size_t> lineOfItem(list.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        if (const int index = ItemIndex(lines[i]); index >= 0 && static_cast<size_t>(index) < list.size())
            lineOfItem[static_cast<size_t>(index)] = i;
    const size_t existing = lines.size();
    for (size_t i = 0; i < list.size(); ++i) {
        std::string line = ItemKey(static_cast<int>(i)) + "=" + list[i];
        if (lineOfItem[i] < existing)
            lines[lineOfItem[i]] = std::move(line);
        else
            lines.push_back(std::move(line));
    }
    // Every item beyond the new count is stale, whatever the old count said (it may not even be a number).
    std::erase_if(lines,
                  [&](const std::string& line) { return ItemIndex(line) >= static_cast<int>(list.size()); });
    FlushIfAuto();
}

void TAppIniFileStorage::RemoveValue(const std::string& path) {
    if (!BeginWrite())
        return;
    const TValuePath value = SplitValuePath(path);
    if (!m_document.RemoveKey(value.Section, value.Key))
        m_document.RemoveSection(SectionOfPath(path));
    FlushIfAuto();
}

void TAppIniFileStorage::LoadFromDisk() {
    m_document.Clear();
    m_unreadable = false;
    if (m_fullFileName.empty())
        return;
    QFile file(NativeName(m_fullFileName));
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        m_unreadable = true;
        return;
    }
    const std::optional<std::string> text = IniTextFromFileBytes(file.readAll());
    m_unreadable = !text;
    if (text)
        m_document = TIniDocument::Parse(*text);
}

void TAppIniFileStorage::SaveToDisk() {
    if (m_fullFileName.empty() || m_unreadable || IsReadOnly())
        return;
    const QString fileName = NativeName(m_fullFileName);
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    // A rewrite goes to a temporary file that replaces the old one only when complete, so a crash or a full
    // disk never leaves half a file. Where no temporary file can be made, the file is written in place.
    QSaveFile file(fileName);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return;
    const QByteArray bytes = IniFileBytesFromText(m_document.Text());
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return;
    }
    file.commit();
}
