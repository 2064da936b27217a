// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/AtomicFile.h"

#include "platform/RandomName.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {
namespace {

constexpr size_t kWriteBufferSize = 256 * 1024;
constexpr size_t kMaxNameLength = 255;
constexpr std::string_view kTempMarker = ".lumora-";
constexpr size_t kTempLetters = 6;
constexpr int kNameAttempts = 100;

std::atomic<bool> g_namedOnly{false};

// "<name>.lumora-" with the name cut so that the whole temporary name fits in 255 bytes.
std::string TempPrefix(const std::string& name) {
    size_t room = kMaxNameLength - kTempMarker.size() - kTempLetters;
    return name.substr(0, room) + std::string(kTempMarker);
}

bool IsTempNameFor(const std::string& candidate, const std::string& prefix) {
    return candidate.size() == prefix.size() + kTempLetters && candidate.starts_with(prefix);
}

// Read from /proc, since setting and restoring the umask races with other threads.
mode_t CurrentUmask() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            if (std::strncmp(line, "Umask:", 6) == 0) {
                std::fclose(status);
                return static_cast<mode_t>(std::strtol(line + 6, nullptr, 8)) & 0777;
            }
        }
        std::fclose(status);
    }
    mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// An unnamed file is linked through /proc/self/fd; without /proc it could not be placed.
bool UnnamedFilesUsable() {
    static const bool procMounted = ::access("/proc/self/fd", X_OK) == 0;
    return procMounted && !g_namedOnly.load();
}

bool LinkUnnamed(int fd, int folder, const std::string& name) {
    std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    int first = errno;
    if (::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0)
        return true;
    if (errno != EEXIST)
        errno = first;
    return false;
}

int RefusalFor(const struct stat& existing, Replace replace) {
    if (S_ISLNK(existing.st_mode))
        return ELOOP;
    if (S_ISDIR(existing.st_mode))
        return EISDIR;
    if (!S_ISREG(existing.st_mode) || replace == Replace::Never)
        return EEXIST;
    return 0;
}

} // namespace

AtomicFile::AtomicFile(const FolderHandle& folder, std::string name)
    : m_folder(folder.Duplicate()), m_name(std::move(name)), m_destination(folder.PathOf(m_name)) {}

AtomicFile::AtomicFile(std::string path) : m_destination(std::move(path)) {
    m_folder = FolderHandle::OpenParent(m_destination, m_name);
}

AtomicFile::~AtomicFile() {
    Abort();
}

void AtomicFile::UseNamedTemporariesOnly(bool namedOnly) {
    g_namedOnly = namedOnly;
}

int AtomicFile::Fd() const {
    return m_stream != nullptr ? ::fileno(m_stream) : -1;
}

bool AtomicFile::Open() {
    Abort();
    if (!m_folder) {
        errno = m_folder.Error();
        return false;
    }
    if (m_name.empty() || m_name == "." || m_name == "..") {
        errno = EISDIR;
        return false;
    }
    if (!IsPlainName(m_name)) {
        errno = EINVAL;
        return false;
    }
    const int folder = m_folder.Fd();
    struct stat existing {};
    if (::fstatat(folder, m_name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        return false;
    }
    int fd = -1;
    if (UnnamedFilesUsable())
        fd = ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    for (int attempt = 0; fd < 0 && attempt < kNameAttempts; ++attempt) {
        m_tempName = TempPrefix(m_name) + RandomLetters(kTempLetters);
        fd = ::openat(folder, m_tempName.c_str(),
                      O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    // The lock tells a cleaner that the writer lives; nobody else knows the file yet.
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
        m_stream = ::fdopen(fd, "w+b");
    if (m_stream == nullptr) {
        int error = fd < 0 ? errno : (errno != 0 ? errno : EIO);
        if (fd >= 0) {
            if (!m_tempName.empty() && m_folder.Holds(m_tempName, fd))
                ::unlinkat(folder, m_tempName.c_str(), 0);
            ::close(fd);
        }
        m_tempName.clear();
        errno = error;
        return false;
    }
    m_buffer.resize(kWriteBufferSize);
    std::setvbuf(m_stream, m_buffer.data(), _IOFBF, m_buffer.size());
    return true;
}

bool AtomicFile::Write(const void* data, size_t length) {
    return m_stream != nullptr && std::fwrite(data, 1, length, m_stream) == length;
}

int AtomicFile::Refusal(Replace replace) const {
    struct stat existing {};
    if (!m_folder || ::fstatat(m_folder.Fd(), m_name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    return RefusalFor(existing, replace);
}

void AtomicFile::StartSync() const {
    if (m_stream != nullptr)
        ::sync_file_range(Fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool AtomicFile::Commit(Replace replace, Sync sync) {
    if (m_stream == nullptr) {
        errno = EBADF;
        return false;
    }
    const int fd = Fd();
    errno = 0;
    int error = 0;
    if (std::fflush(m_stream) != 0 || std::ferror(m_stream))
        error = errno != 0 ? errno : EIO;
    struct stat existing {};
    bool exists =
        error == 0 && ::fstatat(m_folder.Fd(), m_name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists)
        error = RefusalFor(existing, replace);
    mode_t mode = exists ? (existing.st_mode & 0777) : (m_newFileMode & ~CurrentUmask());
    if (error == 0 && ::fchmod(fd, mode) != 0)
        error = errno;
    if (error == 0 && sync == Sync::Yes && ::fsync(fd) != 0)
        error = errno;
    if (error == 0 && !(m_tempName.empty() ? PlaceUnnamed(replace) : PlaceNamed(replace)))
        error = errno;
    if (error != 0) {
        Abort();
        errno = error;
        return false;
    }
    Close();
    // The file is in place already: a folder that cannot be synced leaves it there, as
    // after a crash that came before the folder reached the disk.
    if (sync == Sync::Yes)
        static_cast<void>(m_folder.Sync());
    return true;
}

bool AtomicFile::PlaceUnnamed(Replace replace) {
    const int folder = m_folder.Fd();
    if (replace == Replace::Never)
        return LinkUnnamed(Fd(), folder, m_name);
    // A name of its own first, then renamed over the destination in one step.
    std::string temporary;
    bool linked = false;
    for (int attempt = 0; !linked && attempt < kNameAttempts; ++attempt) {
        temporary = TempPrefix(m_name) + RandomLetters(kTempLetters);
        linked = LinkUnnamed(Fd(), folder, temporary);
        if (!linked && errno != EEXIST)
            return false;
    }
    if (!linked)
        return false;
    if (!RenameOver(temporary)) {
        int error = errno;
        // Only the new file itself; a replacement swapped out and not back stays.
        if (m_folder.Holds(temporary, Fd()))
            ::unlinkat(folder, temporary.c_str(), 0);
        errno = error;
        return false;
    }
    return true;
}

void AtomicFile::ReplaceOnly(dev_t device, ino_t inode) {
    m_replaceOnly = true;
    m_replacedDevice = device;
    m_replacedInode = inode;
}

bool AtomicFile::RenameOver(const std::string& temporary) {
    const int folder = m_folder.Fd();
    if (!m_replaceOnly)
        return ::renameat(folder, temporary.c_str(), folder, m_name.c_str()) == 0;
    const auto isReplaced = [this, folder](const std::string& name) {
        struct stat info {};
        return ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
               info.st_dev == m_replacedDevice && info.st_ino == m_replacedInode;
    };
    if (::renameat2(folder, temporary.c_str(), folder, m_name.c_str(), RENAME_EXCHANGE) == 0) {
        // The file that came out now has the temporary's name.
        if (isReplaced(temporary)) {
            ::unlinkat(folder, temporary.c_str(), 0);
            return true;
        }
        static_cast<void>(
            ::renameat2(folder, temporary.c_str(), folder, m_name.c_str(), RENAME_EXCHANGE));
        errno = ESTALE;
        return false;
    }
    if (errno == ENOENT) {
        errno = ESTALE;
        return false;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
    if (!isReplaced(m_name)) {
        errno = ESTALE;
        return false;
    }
    return ::renameat(folder, temporary.c_str(), folder, m_name.c_str()) == 0;
}

bool AtomicFile::PlaceNamed(Replace replace) {
    const int folder = m_folder.Fd();
    // Someone who may write in the folder could have put another file under the name.
    if (!m_folder.Holds(m_tempName, Fd())) {
        errno = ENOENT;
        return false;
    }
    if (replace == Replace::Always) {
        if (!RenameOver(m_tempName))
            return false;
        m_tempName.clear();
        return true;
    }
    // linkat fails when anything, even a dangling link, holds the name.
    if (::linkat(folder, m_tempName.c_str(), folder, m_name.c_str(), 0) == 0) {
        ::unlinkat(folder, m_tempName.c_str(), 0);
        m_tempName.clear();
        return true;
    }
    if (errno == EEXIST)
        return false;
    // File systems without hard links can still refuse to replace in the rename itself.
    int linkError = errno;
    if (::renameat2(folder, m_tempName.c_str(), folder, m_name.c_str(), RENAME_NOREPLACE) == 0) {
        m_tempName.clear();
        return true;
    }
    if (errno != EEXIST)
        errno = linkError;
    return false;
}

void AtomicFile::Close() {
    if (m_stream != nullptr) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    m_tempName.clear();
}

void AtomicFile::Abort() {
    if (m_stream != nullptr && !m_tempName.empty() && m_folder.Holds(m_tempName, Fd()))
        ::unlinkat(m_folder.Fd(), m_tempName.c_str(), 0);
    Close();
}

int RemoveStaleSaveLeftovers(const FolderHandle& folder, const std::string& targetName) {
    if (!folder || !IsPlainName(targetName))
        return 0;
    const std::string prefix = TempPrefix(targetName);
    int removed = 0;
    for (const std::string& name : folder.Names()) {
        if (!IsTempNameFor(name, prefix))
            continue;
        // Only what is plainly an abandoned temporary of this user is opened at all.
        struct stat info {};
        if (::fstatat(folder.Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
            continue;
        int fd = ::openat(folder.Fd(), name.c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Taking the lock proves the writer is gone; the name must still be that file.
        struct stat opened {};
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && folder.Holds(name, fd) &&
            ::unlinkat(folder.Fd(), name.c_str(), 0) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

} // namespace lumora
