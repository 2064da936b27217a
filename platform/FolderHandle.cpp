// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/FolderHandle.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace lumora {
namespace {

// A folder one may enter but not list (mode 0311, say) opens as a path handle, which is
// enough to reach and create what lies below it.
int OpenFolderAt(int at, const char* name, int extraFlags) {
    int flags = O_DIRECTORY | O_CLOEXEC | extraFlags;
    int fd = ::openat(at, name, O_RDONLY | flags);
    if (fd < 0 && errno == EACCES)
        fd = ::openat(at, name, O_PATH | flags);
    return fd;
}

std::string Joined(const std::string& folder, std::string_view name) {
    if (folder.empty() || folder == ".")
        return std::string(name);
    return folder + (folder.back() == '/' ? "" : "/") + std::string(name);
}

} // namespace

bool IsPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

FolderHandle::FolderHandle(int fd, std::string path, int error)
    : m_fd(fd), m_error(error), m_path(std::move(path)) {}

FolderHandle FolderHandle::Failed(std::string path, int error) {
    return FolderHandle(-1, std::move(path), error);
}

FolderHandle::~FolderHandle() {
    if (m_fd >= 0)
        ::close(m_fd);
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_error(std::exchange(other.m_error, EBADF)),
      m_path(std::move(other.m_path)) {}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_error = std::exchange(other.m_error, EBADF);
        m_path = std::move(other.m_path);
    }
    return *this;
}

FolderHandle FolderHandle::Open(const std::string& path) {
    if (path.empty())
        return Failed(path, ENOENT);
    int fd = OpenFolderAt(AT_FDCWD, path.c_str(), 0);
    return fd >= 0 ? FolderHandle(fd, path, 0) : Failed(path, errno);
}

FolderHandle FolderHandle::OpenParent(const std::string& path, std::string& name) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        name = path;
        return Open(".");
    }
    name = path.substr(slash + 1);
    return Open(slash == 0 ? "/" : path.substr(0, slash));
}

FolderHandle FolderHandle::Child(const std::string& name, bool create, mode_t mode) const {
    std::string path = PathOf(name);
    if (m_fd < 0)
        return Failed(path, m_error != 0 ? m_error : EBADF);
    if (!IsPlainName(name))
        return Failed(path, EINVAL);
    if (create && ::mkdirat(m_fd, name.c_str(), mode) != 0 && errno != EEXIST)
        return Failed(path, errno);
    int fd = OpenFolderAt(m_fd, name.c_str(), O_NOFOLLOW);
    if (fd < 0)
        return Failed(path, errno == ELOOP ? ENOTDIR : errno);
    return FolderHandle(fd, path, 0);
}

FolderHandle FolderHandle::Descend(std::string_view relativePath, bool create, mode_t mode) const {
    FolderHandle folder = Duplicate();
    while (folder && !relativePath.empty()) {
        size_t slash = relativePath.find('/');
        std::string_view part = relativePath.substr(0, slash);
        relativePath = slash == std::string_view::npos ? "" : relativePath.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..")
            return Failed(folder.PathOf(std::string(part)), EINVAL);
        folder = folder.Child(std::string(part), create, mode);
    }
    return folder;
}

FolderHandle FolderHandle::ParentOfEntry(std::string_view entryPath, bool create,
                                         std::string& fileName, mode_t mode) const {
    size_t slash = entryPath.rfind('/');
    fileName =
        std::string(slash == std::string_view::npos ? entryPath : entryPath.substr(slash + 1));
    if (!IsPlainName(fileName))
        return Failed(PathOf(std::string(entryPath)), EINVAL);
    return Descend(slash == std::string_view::npos ? "" : entryPath.substr(0, slash), create, mode);
}

FolderHandle FolderHandle::Duplicate() const {
    if (m_fd < 0)
        return Failed(m_path, m_error != 0 ? m_error : EBADF);
    int fd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    return fd >= 0 ? FolderHandle(fd, m_path, 0) : Failed(m_path, errno);
}

std::vector<std::string> FolderHandle::Names() const {
    std::vector<std::string> names;
    int fd = m_fd >= 0 ? ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    DIR* folder = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (folder == nullptr) {
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    while (const dirent* entry = ::readdir(folder)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(folder);
    return names;
}

bool FolderHandle::Holds(const std::string& name, int fd) const {
    struct stat named {};
    struct stat opened {};
    return m_fd >= 0 && ::fstatat(m_fd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(fd, &opened) == 0 && named.st_dev == opened.st_dev &&
           named.st_ino == opened.st_ino;
}

std::string FolderHandle::PathOf(const std::string& name) const {
    return Joined(m_path, name);
}

bool FolderHandle::Sync() const {
    return m_fd >= 0 && ::fsync(m_fd) == 0;
}

} // namespace lumora
