// SPDX-License-Identifier: GPL-2.0-or-later
// Which file a path names and in what state, and an exclusive lock on a file that two
// Lumora processes respect (flock, which stays with the open file until it is closed,
// unlike fcntl locks, which the first close of any descriptor of the file drops).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace lumora {

// A file (device and inode) with its size and modification time (with nanoseconds).
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    int64_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;

    // Equal: the same file, unchanged as far as size and time tell.
    bool operator==(const FileIdentity&) const = default;
    bool IsSameFile(const FileIdentity& other) const {
        return device == other.device && inode == other.inode;
    }
};

// The identity of what `path` names (links followed) or of an open file; none with errno.
std::optional<FileIdentity> IdentityOf(const std::string& path);
std::optional<FileIdentity> IdentityOf(int fd);

enum class [[nodiscard]] LockStatus{
    Locked, // this object holds the lock
    Busy,   // another process holds it, or keeps replacing the file
    Failed, // the file could not be opened or locked; see Error()
};

class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Locks the regular file at `path` without waiting. A save replaces a file by rename,
    // so after locking the path must still name the locked file; when it does not, the
    // new file is tried once more. A lock held before is released first.
    LockStatus Lock(const std::string& path);
    void Release();

    bool IsLocked() const { return m_fd >= 0; }
    // The errno behind Failed (EISDIR for a folder, EINVAL for another non-regular file).
    int Error() const { return m_error; }
    // The locked file as it was when the lock was taken.
    const FileIdentity& Identity() const { return m_identity; }

private:
    int m_fd = -1;
    int m_error = 0;
    FileIdentity m_identity;
};

} // namespace lumora
