#pragma once

#include <string>
#include <string_view>

// A file that only ever grows at its end, for records that must outlive a crash of the program. It is always
// made new (an existing file is never opened, let alone truncated); each Append puts all of its bytes in or
// none of them, so a reader never finds half a line; Sync puts what was appended on the disk. Failures are
// raised with the file's name and the system's reason.
class TAppendOnlyFile {
public:
    // The path is the platform's file name (UTF-8) exactly as given. "Cannot create file "%s". %s".
    explicit TAppendOnlyFile(std::string path);
    ~TAppendOnlyFile();
    TAppendOnlyFile(const TAppendOnlyFile&) = delete;
    TAppendOnlyFile& operator=(const TAppendOnlyFile&) = delete;

    const std::string& Path() const { return m_path; }
    // A write that stops short (a full disk) is cut back off the file. "Cannot write file "%s". %s".
    void Append(std::string_view bytes);
    void Sync();
    // Whether the path still names this file: false once it was removed or moved, or its folder went away,
    // although writes to it still succeed.
    bool StillAtPath() const;
    // Whether the file still has a name at all: true when it was moved (what reached it is kept there), false
    // when it was removed.
    bool StillNamed() const;

    // Whether a file (or anything else) is at the path.
    static bool Exists(const std::string& path);

private:
    [[noreturn]] void RaiseWriteError(int errorNumber) const;
    void SyncFolder() const;

    std::string m_path;
    int m_fd = -1;
    long long m_size = 0; // bytes of whole appends
};
