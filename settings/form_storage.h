#pragma once

#include "core/component.h"
#include "settings/storable_form.h"

#include <string>
#include <vector>

class TAppIniFileStorage;

// Makes a window remember its size and some of its entries between runs: restored just before the window is
// first shown, saved when it closes. Only the size is kept, never the position or the state.
class TFormStorage : public TComponent {
public:
    explicit TFormStorage(TComponent* owner = nullptr, std::string name = {});

    TAppIniFileStorage* AppStorage() const { return m_appStorage; }
    void SetAppStorage(TAppIniFileStorage* storage) { m_appStorage = storage; }
    // Base path of every key; "%FORM_NAME%" stands for the window's name. Always ends with a backslash.
    const std::string& AppStoragePath() const { return m_appStoragePath; }
    void SetAppStoragePath(std::string path);
    // "component.property" entries, saved and restored in this order.
    const std::vector<std::string>& StoredProps() const { return m_storedProps; }
    void SetStoredProps(std::vector<std::string> props) { m_storedProps = std::move(props); }
    bool Active() const { return m_active; }
    void SetActive(bool active) { m_active = active; }
    // Settings stored with an older version than this are not restored.
    int Version() const { return m_version; }
    void SetVersion(int version) { m_version = version; }
    TStorableForm* Form() const { return m_form; }
    void SetForm(TStorableForm* form) { m_form = form; }

    void SavePlacement();
    void RestorePlacement();

    // The window's events. The first show restores; a close that the window allows saves; destruction saves
    // unless that already happened since the restore.
    void FormShow();
    void FormCloseQuery(bool canClose);
    void FormDestroy();

private:
    struct TStoredEntry {
        std::string Component;
        std::string Property; // as the component declares it
        std::string Key;      // base path, component, "_", property
    };
    std::vector<TStoredEntry> ResolvedEntries(const std::string& basePath) const;
    std::string ResolvedBasePath() const;
    std::string ScreenSuffix() const;
    std::string StoredPosition(const std::string& basePath, const std::string& key);
    void SaveSize(const std::string& basePath);
    void RestoreSize(const std::string& basePath);
    void SaveEntry(const TStoredEntry& entry);
    void RestoreEntry(const TStoredEntry& entry);
    bool CanRun() const { return m_active && m_appStorage && m_form; }

    TAppIniFileStorage* m_appStorage = nullptr;
    std::string m_appStoragePath = "%FORM_NAME%\\";
    std::vector<std::string> m_storedProps;
    bool m_active = true;
    int m_version = 0;
    TStorableForm* m_form = nullptr;
    bool m_shown = false;
    bool m_restored = false;
    bool m_saved = false;
};
