#include "settings/form_storage.h"

#include "core/convert.h"
#include "core/exceptions.h"
#include "settings/app_ini_file_storage.h"
#include "settings/ini_document.h"
#include "settings/text_parts.h"

#include <limits>

namespace {
const std::string FormNameMacro = "%FORM_NAME%";

std::string PositionText(int a, int b, int c, int d) {
    return FormatText("%d,%d,%d,%d", a, b, c, d);
}

// The four numbers of a stored position; those that are missing or do not convert are empty.
std::vector<std::optional<int32_t>> PositionNumbers(const std::string& text) {
    std::vector<std::optional<int32_t>> numbers(4);
    const auto parts = SplitText(text, ',');
    for (size_t i = 0; i < numbers.size() && i < parts.size(); ++i) {
        int32_t value = 0;
        if (TryStrToInt(parts[i], value))
            numbers[i] = value;
    }
    return numbers;
}

bool FitsInt(int64_t value) {
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

// The stored width and height applied at the window's current position. A rectangle with a number that does
// not convert, or that would not fit, is no size at all: the window keeps its own.
std::optional<TPlacementRect> RestoredNormalRect(const std::string& text, const TPlacementRect& current) {
    const auto n = PositionNumbers(text);
    if (!n[0] || !n[1] || !n[2] || !n[3])
        return std::nullopt;
    const int64_t right = int64_t{*n[2]} + current.Left - *n[0];
    const int64_t bottom = int64_t{*n[3]} + current.Top - *n[1];
    if (!FitsInt(right) || !FitsInt(bottom))
        return std::nullopt;
    return TPlacementRect{current.Left, current.Top, static_cast<int>(right), static_cast<int>(bottom)};
}

template <class... Handlers> struct TOverloaded : Handlers... { using Handlers::operator()...; };
} // namespace

TFormStorage::TFormStorage(TComponent* owner, std::string name) : TComponent(owner, std::move(name)) {
}

void TFormStorage::SetAppStoragePath(std::string path) {
    if (path.empty() || path.back() != '\\')
        path += '\\';
    m_appStoragePath = std::move(path);
}

std::string TFormStorage::ResolvedBasePath() const {
    std::string path = m_appStoragePath;
    const auto macro = UpperAscii(path).find(FormNameMacro);
    if (macro != std::string::npos)
        path.replace(macro, FormNameMacro.size(), m_form->FormName());
    return path;
}

std::vector<TFormStorage::TStoredEntry> TFormStorage::ResolvedEntries(const std::string& basePath) const {
    std::vector<TStoredEntry> entries;
    for (const std::string& prop : m_storedProps) {
        const auto dot = prop.find('.');
        if (dot == std::string::npos)
            continue;
        const std::string component = TIniDocument::Trimmed(prop.substr(0, dot));
        const auto property = m_form->PropertyName(component, TIniDocument::Trimmed(prop.substr(dot + 1)));
        if (property)
            entries.push_back({component, *property, basePath + component + "_" + *property});
    }
    return entries;
}

std::string TFormStorage::ScreenSuffix() const {
    const TScreenSize screen = m_form->ScreenSize();
    return FormatText("(%dx%d)", screen.Width, screen.Height);
}

void TFormStorage::SavePlacement() {
    if (!CanRun())
        return;
    const std::string basePath = ResolvedBasePath();
    m_appStorage->SetInteger(basePath + "FormVersion", m_version);
    SaveSize(basePath);
    for (const TStoredEntry& entry : ResolvedEntries(basePath))
        SaveEntry(entry);
    m_saved = true;
}

void TFormStorage::SaveSize(const std::string& basePath) {
    const TWindowPlacement placement = m_form->Placement();
    const std::string suffix = ScreenSuffix();
    const std::string minMax = PositionText(placement.MinPosition.X, placement.MinPosition.Y,
                                            placement.MaxPosition.X, placement.MaxPosition.Y);
    const TPlacementRect& normal = placement.NormalPosition;
    const std::string norm = PositionText(normal.Left, normal.Top, normal.Right, normal.Bottom);
    m_appStorage->SetInteger(basePath + "Flags", placement.Flags);
    m_appStorage->SetInteger(basePath + "PixelsPerInch", m_form->ScreenPixelsPerInch());
    m_appStorage->SetString(basePath + "MinMaxPos" + suffix, minMax);
    m_appStorage->SetString(basePath + "MinMaxPos", minMax);
    m_appStorage->SetString(basePath + "NormPos" + suffix, norm);
    m_appStorage->SetString(basePath + "NormPos", norm);
}

void TFormStorage::SaveEntry(const TStoredEntry& entry) {
    std::visit(
        TOverloaded{
            [&](const std::string& text) { m_appStorage->SetString(entry.Key, text); },
            [&](int32_t number) { m_appStorage->SetInteger(entry.Key, number); },
            [&](const std::vector<std::string>& lines) { m_appStorage->SetStringList(entry.Key, lines); },
        },
        m_form->PropertyValue(entry.Component, entry.Property));
}

void TFormStorage::RestorePlacement() {
    if (!CanRun())
        return;
    const std::string basePath = ResolvedBasePath();
    m_saved = false;
    if (m_appStorage->GetInteger(basePath + "FormVersion", 0) >= m_version) {
        RestoreSize(basePath);
        for (const TStoredEntry& entry : ResolvedEntries(basePath))
            RestoreEntry(entry);
    }
    m_restored = true;
}

// The key with the current screen size when it exists, else the plain key; empty when neither exists.
std::string TFormStorage::StoredPosition(const std::string& basePath, const std::string& key) {
    const std::string sized = basePath + key + ScreenSuffix();
    if (m_appStorage->HasValue(sized))
        return m_appStorage->GetString(sized, {});
    return m_appStorage->GetString(basePath + key, {});
}

void TFormStorage::RestoreSize(const std::string& basePath) {
    TWindowPlacement placement = m_form->Placement();
    placement.Flags = m_appStorage->GetInteger(basePath + "Flags", placement.Flags);
    const std::string minMax = StoredPosition(basePath, "MinMaxPos");
    if (!minMax.empty()) {
        const auto numbers = PositionNumbers(minMax);
        placement.MaxPosition = {numbers[2].value_or(0), numbers[3].value_or(0)};
    }
    const std::string norm = StoredPosition(basePath, "NormPos");
    if (!norm.empty())
        placement.NormalPosition =
            RestoredNormalRect(norm, placement.NormalPosition).value_or(placement.NormalPosition);
    if (minMax.empty() && norm.empty())
        return;
    // A size saved at another dpi would not fit this screen's scaling; it is ignored.
    const int dpi = m_form->ScreenPixelsPerInch();
    if (m_appStorage->GetInteger(basePath + "PixelsPerInch", dpi) == dpi &&
        placement.NormalPosition.Left < placement.NormalPosition.Right)
        m_form->SetPlacement(placement);
}

void TFormStorage::RestoreEntry(const TStoredEntry& entry) {
    // A stored value that does not convert is skipped silently; the entry keeps its value.
    try {
        std::visit(TOverloaded{
                       [&](const std::string&) {
                           if (m_appStorage->HasValue(entry.Key))
                               m_form->SetPropertyValue(entry.Component, entry.Property,
                                                        m_appStorage->GetString(entry.Key, {}));
                       },
                       [&](int32_t) {
                           if (m_appStorage->HasValue(entry.Key))
                               m_form->SetPropertyValue(entry.Component, entry.Property,
                                                        m_appStorage->GetInteger(entry.Key, 0));
                       },
                       [&](const std::vector<std::string>&) {
                           if (!m_appStorage->HasSection(entry.Key) && !m_appStorage->HasValue(entry.Key))
                               return;
                           std::vector<std::string> lines;
                           m_appStorage->GetStringList(entry.Key, lines);
                           m_form->SetPropertyValue(entry.Component, entry.Property, lines);
                       },
                   },
                   m_form->PropertyValue(entry.Component, entry.Property));
    } catch (const EConvertError&) {
    }
}

void TFormStorage::FormShow() {
    if (m_shown)
        return;
    m_shown = true;
    RestorePlacement();
}

void TFormStorage::FormCloseQuery(bool canClose) {
    if (canClose)
        SavePlacement();
}

void TFormStorage::FormDestroy() {
    // A window that was never restored still holds its designed values; saving them would overwrite the
    // user's stored entries.
    if (m_restored && !m_saved)
        SavePlacement();
}
