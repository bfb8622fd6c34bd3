#include "core/append_only_file.h"

#include "core/exceptions.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The owner and the group read the journal, not everyone: its errors name servers, users and statements.
TAppendOnlyFile::TAppendOnlyFile(std::string path) : m_path(std::move(path)) {
    m_fd = open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0640);
    if (m_fd < 0)
        throw Exception::FromUtf8(
            FormatText("Cannot create file \"%s\". %s", m_path.c_str(), std::strerror(errno)));
    SyncFolder();
}

// The new file's name is on the disk only once its folder is: without this, a power cut soon after the
// start could lose the whole file, not just its last second.
void TAppendOnlyFile::SyncFolder() const {
    const auto slash = m_path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : m_path.substr(0, slash);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return; // a folder that cannot be opened for this still holds the file; the rows are synced as usual
    [[maybe_unused]] const int synced = fsync(fd);
    close(fd);
}

TAppendOnlyFile::~TAppendOnlyFile() {
    close(m_fd);
}

void TAppendOnlyFile::Append(std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(m_fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int errorNumber = written < 0 ? errno : ENOSPC;
            // Shrinking needs no room on the disk, so the part already written always comes off.
            if (done > 0) {
                [[maybe_unused]] const int cut = ftruncate(m_fd, m_size);
            }
            RaiseWriteError(errorNumber);
        }
        done += static_cast<size_t>(written);
    }
    m_size += static_cast<long long>(bytes.size());
}

void TAppendOnlyFile::Sync() {
    if (fdatasync(m_fd) != 0)
        RaiseWriteError(errno);
}

bool TAppendOnlyFile::StillAtPath() const {
    struct stat atPath {};
    struct stat open {};
    return stat(m_path.c_str(), &atPath) == 0 && fstat(m_fd, &open) == 0 && atPath.st_dev == open.st_dev &&
           atPath.st_ino == open.st_ino;
}

bool TAppendOnlyFile::StillNamed() const {
    struct stat open {};
    return fstat(m_fd, &open) == 0 && open.st_nlink > 0;
}

bool TAppendOnlyFile::Exists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

void TAppendOnlyFile::RaiseWriteError(int errorNumber) const {
    throw Exception::FromUtf8(
        FormatText("Cannot write file \"%s\". %s", m_path.c_str(), std::strerror(errorNumber)));
}
