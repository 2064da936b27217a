// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/WorkFolder.h"

#include "platform/ProgramFolders.h"
#include "platform/RandomName.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace lumora {
namespace {

constexpr std::string_view kNewFolderPrefix = ".new-";
constexpr size_t kNewFolderLetters = 8;
constexpr int kTemporaryAttempts = 100;
constexpr int64_t kNumberAttempts = 100000;

// Final names are numbers; temporary ones are only seen when a creator was killed.
bool IsWorkFolderName(std::string_view name) {
    if (name.starts_with(kNewFolderPrefix))
        return name.size() == kNewFolderPrefix.size() + kNewFolderLetters;
    if (name.starts_with('-'))
        name.remove_prefix(1);
    return !name.empty() && name.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string Reason(int error) {
    return std::strerror(error);
}

// Makes the folders of `path` that are missing, private to the user.
void MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (!prefix.empty())
            ::mkdir(prefix.c_str(), 0700);
        if (slash == std::string::npos)
            break;
    }
}

bool BelongsToUser(int fd, struct stat& info) {
    return ::fstat(fd, &info) == 0 && info.st_uid == ::geteuid();
}

// What cannot be removed shows when the folder that holds it cannot be removed either.
void RemoveEntryAt(const FolderHandle& folder, const std::string& name) {
    struct stat info {};
    if (::fstatat(folder.Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(info.st_mode))
        static_cast<void>(RemoveTreeAt(folder, name));
    else
        ::unlinkat(folder.Fd(), name.c_str(), 0);
}

// Renames the locked folder `temporary` to the first free number; the name, or empty.
std::string RenameToNumber(const FolderHandle& root, const std::string& temporary,
                           int32_t firstNumber, int& error) {
    for (int64_t step = 0; step < kNumberAttempts; ++step) {
        auto number =
            static_cast<int32_t>(static_cast<uint32_t>(firstNumber) + static_cast<uint32_t>(step));
        std::string name = std::to_string(number);
        if (::renameat2(root.Fd(), temporary.c_str(), root.Fd(), name.c_str(), RENAME_NOREPLACE) ==
            0)
            return name;
        if (errno == EINVAL) {
            // A file system that cannot refuse in the rename itself: look first.
            struct stat info {};
            if (::fstatat(root.Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0)
                continue;
            if (::renameat(root.Fd(), temporary.c_str(), root.Fd(), name.c_str()) == 0)
                return name;
        }
        if (errno != EEXIST && errno != ENOTEMPTY && errno != ENOTDIR) {
            error = errno;
            return std::string();
        }
    }
    error = EEXIST;
    return std::string();
}

} // namespace

// A folder that cannot be removed here is unlocked from now on, and the next start of
// either program removes it (RemoveStaleWorkFolders); the same holds for every clean-up
// below whose result is not looked at.
WorkFolder::~WorkFolder() {
    static_cast<void>(Remove());
}

WorkFolder::WorkFolder(WorkFolder&& other) noexcept
    : m_root(std::move(other.m_root)), m_folder(std::move(other.m_folder)),
      m_name(std::move(other.m_name)), m_path(std::move(other.m_path)),
      m_error(std::move(other.m_error)), m_lockFd(std::exchange(other.m_lockFd, -1)) {}

WorkFolder& WorkFolder::operator=(WorkFolder&& other) noexcept {
    if (this != &other) {
        static_cast<void>(Remove());
        m_root = std::move(other.m_root);
        m_folder = std::move(other.m_folder);
        m_name = std::move(other.m_name);
        m_path = std::move(other.m_path);
        m_error = std::move(other.m_error);
        m_lockFd = std::exchange(other.m_lockFd, -1);
    }
    return *this;
}

WorkFolder WorkFolder::Create(int32_t firstNumber) {
    std::string error;
    FolderHandle root = OpenCacheRoot(true, error);
    if (!root) {
        WorkFolder none;
        none.m_error = error;
        return none;
    }
    return CreateIn(root, firstNumber);
}

WorkFolder WorkFolder::CreateIn(const FolderHandle& root, int32_t firstNumber) {
    WorkFolder result;
    auto fail = [&](const std::string& why) {
        result.m_error = "cannot create a working folder in " + root.Path() + ": " + why;
        return std::move(result);
    };
    if (!root)
        return fail(Reason(root.Error()));
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        std::string temporary = std::string(kNewFolderPrefix) + RandomLetters(kNewFolderLetters);
        if (::mkdirat(root.Fd(), temporary.c_str(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            return fail(Reason(errno));
        }
        FolderHandle folder = root.Child(temporary, false);
        struct stat info {};
        // Gone already (taken by a cleaner): not ours to use.
        if (!folder || !BelongsToUser(folder.Fd(), info))
            continue;
        // The umask must not take the owner's rights away, nor default ACLs add others'.
        if (::fchmod(folder.Fd(), 0700) == 0 && ::fstat(folder.Fd(), &info) != 0)
            info.st_mode = 0;
        if ((info.st_mode & 0777) != 0700) {
            static_cast<void>(RemoveTreeAt(root, temporary));
            return fail("its permissions cannot be set to 0700");
        }
        // A cleaner may have taken the folder between mkdir and flock: then it is not ours.
        if (::flock(folder.Fd(), LOCK_EX | LOCK_NB) != 0 || !root.Holds(temporary, folder.Fd()))
            continue;
        int error = 0;
        std::string name = RenameToNumber(root, temporary, firstNumber, error);
        if (name.empty()) {
            static_cast<void>(RemoveTreeAt(root, temporary));
            if (error == ENOENT)
                continue;
            return fail(error == EEXIST ? "every name is taken" : Reason(error));
        }
        result.m_lockFd = ::fcntl(folder.Fd(), F_DUPFD_CLOEXEC, 0);
        if (result.m_lockFd < 0) {
            int dupError = errno;
            static_cast<void>(RemoveTreeAt(root, name));
            return fail(Reason(dupError));
        }
        result.m_root = root.Duplicate();
        result.m_folder = root.Child(name, false);
        result.m_name = name;
        result.m_path = root.PathOf(name);
        if (!result.m_folder || !root.Holds(name, result.m_lockFd)) {
            static_cast<void>(result.Remove());
            return fail("the folder was replaced while it was made");
        }
        return result;
    }
    return fail("no temporary name was free");
}

bool WorkFolder::Remove() {
    if (m_lockFd < 0)
        return true;
    // Only the folder that this object made and still holds the lock of.
    bool gone = m_root.Holds(m_name, m_lockFd) && RemoveTreeAt(m_root, m_name);
    ::close(m_lockFd);
    m_lockFd = -1;
    m_folder = FolderHandle();
    return gone;
}

FolderHandle OpenCacheRoot(bool create, std::string& error) {
    std::string path = CacheRoot();
    if (path.empty()) {
        error = "there is no folder for working files: neither XDG_CACHE_HOME, a home folder of "
                "the user nor XDG_RUNTIME_DIR is usable";
        return FolderHandle();
    }
    if (create)
        MakeFolders(path);
    // In a folder that others may write to (such as /tmp) a link or a folder someone else
    // made could stand in for ours: only a real folder is taken there.
    std::string name;
    const FolderHandle parent = FolderHandle::OpenParent(path, name);
    struct stat parentInfo {};
    struct stat own {};
    if (parent && ::fstat(parent.Fd(), &parentInfo) == 0 && (parentInfo.st_mode & 002) != 0 &&
        (::fstatat(parent.Fd(), name.c_str(), &own, AT_SYMLINK_NOFOLLOW) != 0 ||
         !S_ISDIR(own.st_mode))) {
        error = "cannot use the folder for working files " + path +
                ": it is not a folder of its own in a folder others may write to";
        return FolderHandle();
    }
    FolderHandle root = FolderHandle::Open(path);
    struct stat info {};
    if (!root) {
        error = "cannot use the folder for working files " + path + ": " + Reason(root.Error());
        return FolderHandle();
    }
    if (!BelongsToUser(root.Fd(), info)) {
        error = "the folder for working files " + path +
                " belongs to another user; working files are kept only in a folder of your own";
        return FolderHandle();
    }
    if ((info.st_mode & 022) != 0 && ::fchmod(root.Fd(), info.st_mode & 0700) != 0) {
        error = "the folder for working files " + path +
                " may be changed by other users and cannot be made private: " + Reason(errno);
        return FolderHandle();
    }
    return root;
}

int RemoveStaleWorkFolders(const FolderHandle& root) {
    int removed = 0;
    for (const std::string& name : root.Names()) {
        struct stat info {};
        if (!IsWorkFolderName(name) ||
            ::fstatat(root.Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
            continue;
        FolderHandle folder = root.Child(name, false);
        // The lock is kept until the folder is gone, so no one starts using it meanwhile.
        if (folder && BelongsToUser(folder.Fd(), info) &&
            ::flock(folder.Fd(), LOCK_EX | LOCK_NB) == 0 && root.Holds(name, folder.Fd()) &&
            RemoveTreeAt(root, name))
            ++removed;
    }
    return removed;
}

int RemoveStaleWorkFolders() {
    std::string error;
    FolderHandle root = OpenCacheRoot(false, error);
    return root ? RemoveStaleWorkFolders(root) : 0;
}

bool RemoveTreeAt(const FolderHandle& parent, const std::string& name) {
    struct stat info {};
    if (!parent || !IsPlainName(name) ||
        ::fstatat(parent.Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISDIR(info.st_mode))
        return false;
    // Nothing inside could be listed or deleted without these.
    if ((info.st_mode & 0700) != 0700 && info.st_uid == ::geteuid() &&
        ::fchmodat(parent.Fd(), name.c_str(), (info.st_mode & 07777) | 0700, 0) != 0)
        return false;
    if (FolderHandle folder = parent.Child(name, false)) {
        for (const std::string& entry : folder.Names())
            RemoveEntryAt(folder, entry);
    }
    return ::unlinkat(parent.Fd(), name.c_str(), AT_REMOVEDIR) == 0;
}

bool RemoveTree(const std::string& path) {
    std::string name;
    FolderHandle parent = FolderHandle::OpenParent(path, name);
    return RemoveTreeAt(parent, name);
}

} // namespace lumora
