// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace lumora {
namespace {

FileIdentity IdentityFrom(const struct stat& info) {
    return FileIdentity{info.st_dev, info.st_ino, static_cast<int64_t>(info.st_size),
                        static_cast<int64_t>(info.st_mtim.tv_sec),
                        static_cast<int64_t>(info.st_mtim.tv_nsec)};
}

int NotRegularError(mode_t mode) {
    return S_ISDIR(mode) ? EISDIR : EINVAL;
}

} // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return IdentityFrom(info);
}

std::optional<FileIdentity> IdentityOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return std::nullopt;
    return IdentityFrom(info);
}

FileLock::~FileLock() {
    Release();
}

FileLock::FileLock(FileLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_error(other.m_error), m_identity(other.m_identity) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_fd = std::exchange(other.m_fd, -1);
        m_error = other.m_error;
        m_identity = other.m_identity;
    }
    return *this;
}

void FileLock::Release() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

LockStatus FileLock::Lock(const std::string& path) {
    Release();
    m_error = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Checked before opening, so that no device or FIFO is ever opened.
        struct stat named {};
        if (::stat(path.c_str(), &named) != 0) {
            m_error = errno;
            return LockStatus::Failed;
        }
        if (!S_ISREG(named.st_mode)) {
            m_error = NotRegularError(named.st_mode);
            return LockStatus::Failed;
        }
        int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            m_error = errno;
            return LockStatus::Failed;
        }
        struct stat opened {};
        m_error = ::fstat(fd, &opened) != 0 ? errno
                  : S_ISREG(opened.st_mode) ? 0
                                            : NotRegularError(opened.st_mode);
        if (m_error != 0) {
            ::close(fd);
            return LockStatus::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                return LockStatus::Busy;
            m_error = error;
            return LockStatus::Failed;
        }
        auto now = IdentityOf(path);
        FileIdentity locked = IdentityFrom(opened);
        if (now && now->IsSameFile(locked)) {
            m_fd = fd;
            m_identity = *now;
            return LockStatus::Locked;
        }
        ::close(fd);
        if (!now) {
            m_error = errno;
            return LockStatus::Failed;
        }
    }
    // Replaced twice while we tried: another process is saving it right now.
    return LockStatus::Busy;
}

} // namespace lumora
