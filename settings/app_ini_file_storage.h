#pragma once

#include "core/component.h"
#include "settings/ini_document.h"

#include <cstdint>
#include <string>
#include <vector>

// Where the settings file lies: beside the executable (in $XDG_CONFIG_HOME/quorvane/ when the program may not
// write the executable's folder), or in a directory chosen by the caller.
enum TFileLocation { flExeFile, flCustom };

// Named values in an INI file beside the executable. Callers address values by backslash-separated paths
// ("Form1\FormVersion"): the segments before the last name the section, the last one the key. With
// AutoReload every access re-reads the file, with AutoFlush every change rewrites it, so another program's
// edits are seen at the next access and the last writer wins. Texts are UTF-8: the file is CP1251 as long as
// that can hold them, and UTF-8 with a byte-order mark once one of them needs more.
class TAppIniFileStorage : public TComponent {
public:
    explicit TAppIniFileStorage(TComponent* owner = nullptr, std::string name = {});
    ~TAppIniFileStorage() override;

    const std::string& FileName() const { return m_fileName; }
    void SetFileName(std::string fileName);
    TFileLocation Location() const { return m_location; }
    void SetLocation(TFileLocation location);
    // The directory used with flCustom.
    const std::string& CustomDirectory() const { return m_customDirectory; }
    void SetCustomDirectory(std::string directory);
    // The directory, a path separator and the name part of FileName (".ini" added when it has no extension);
    // empty while FileName is empty.
    const std::string& FullFileName() const { return m_fullFileName; }

    const std::string& DefaultSection() const { return m_defaultSection; }
    void SetDefaultSection(std::string section) { m_defaultSection = std::move(section); }
    bool AutoReload() const { return m_autoReload; }
    void SetAutoReload(bool on) { m_autoReload = on; }
    bool AutoFlush() const { return m_autoFlush; }
    void SetAutoFlush(bool on) { m_autoFlush = on; }
    bool FlushOnDestroy() const { return m_flushOnDestroy; }
    void SetFlushOnDestroy(bool on) { m_flushOnDestroy = on; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool on) { m_readOnly = on; }
    // Comma-separated texts read as true and as false; their first entries are what is written.
    const std::string& BooleanStringTrueValues() const { return m_trueValues; }
    void SetBooleanStringTrueValues(std::string values) { m_trueValues = std::move(values); }
    const std::string& BooleanStringFalseValues() const { return m_falseValues; }
    void SetBooleanStringFalseValues(std::string values) { m_falseValues = std::move(values); }

    // The file exists but was not read (it cannot be opened, or it is not a text of this program): its
    // values are the defaults, and it is kept as it is, never rewritten.
    bool Unreadable() const { return m_unreadable; }

    // ReadOnly, or the file exists and may not be written (its write permission is off, or this program
    // may not open it for writing).
    bool IsReadOnly() const;

    bool HasValue(const std::string& path);
    bool HasSection(const std::string& path);
    std::string GetString(const std::string& path, const std::string& defaultValue);
    void SetString(const std::string& path, const std::string& value);
    // A stored text that does not convert raises EConvertError; an empty one reads 0.
    int32_t GetInteger(const std::string& path, int32_t defaultValue);
    void SetInteger(const std::string& path, int32_t value);
    bool GetBoolean(const std::string& path, bool defaultValue);
    void SetBoolean(const std::string& path, bool value);
    // Items under P are P\Count and P\Item0 .. P\Item<n-1>. Returns the number of items read.
    int GetStringList(const std::string& path, std::vector<std::string>& list);
    void SetStringList(const std::string& path, const std::vector<std::string>& list);
    void RemoveValue(const std::string& path);

    // The document becomes the file's content (empty when there is no file).
    void LoadFromDisk();
    // Writes the whole document; failures are swallowed and the settings are simply not saved.
    void SaveToDisk();

    const TIniDocument& Document() const { return m_document; }

private:
    struct TValuePath {
        std::string Section;
        std::string Key;
    };
    TValuePath SplitValuePath(const std::string& path) const;
    std::string SectionOfPath(const std::string& path) const;
    std::string ResolveSection(std::string section) const;
    void ReloadIfAuto();
    // False (and nothing done) when the storage is read-only.
    bool BeginWrite();
    void FlushIfAuto();
    void UpdateFullFileName();

    std::string m_fileName;
    TFileLocation m_location = flExeFile;
    std::string m_customDirectory;
    std::string m_fullFileName;
    std::string m_defaultSection;
    bool m_autoReload = false;
    bool m_autoFlush = false;
    bool m_flushOnDestroy = true;
    bool m_readOnly = false;
    std::string m_trueValues = "TRUE, YES, Y";
    std::string m_falseValues = "FALSE, NO, N";
    TIniDocument m_document;
    // Set when the file exists but could not be read: writing the document back would replace the user's
    // settings by the few values written since.
    bool m_unreadable = false;
};
