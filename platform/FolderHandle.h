// SPDX-License-Identifier: GPL-2.0-or-later
// An open folder. Files and folders below it are reached relative to its descriptor, one
// name at a time and never through a symbolic link: someone who swaps a subfolder for a
// link between two steps cannot redirect what is written below the folder. The folder
// itself may be reached through links (the path is the user's choice).
#pragma once

#include <cerrno>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace lumora {

class FolderHandle {
public:
    FolderHandle() = default;
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // The folder at `path`; links on the way, the last one included, are followed.
    [[nodiscard]] static FolderHandle Open(const std::string& path);
    // The folder holding the last component of `path` (the current folder for a bare
    // name); that component goes to `name`, empty when `path` ends in "/".
    [[nodiscard]] static FolderHandle OpenParent(const std::string& path, std::string& name);

    // The folder `name` (one component) in this one, made with `mode` (less the umask)
    // when it is missing and `create` is set. Never follows a link: a link, or anything
    // else that is no folder, fails with ENOTDIR; "", ".", ".." or a "/" with EINVAL.
    [[nodiscard]] FolderHandle Child(const std::string& name, bool create,
                                     mode_t mode = 0777) const;
    // Walks down the "/"-separated folders of `relativePath` with Child, from this folder.
    // Empty and "." components are skipped; ".." fails with EINVAL.
    [[nodiscard]] FolderHandle Descend(std::string_view relativePath, bool create,
                                       mode_t mode = 0777) const;
    // For a hidden file's path below this folder: the folder that holds its last component
    // (made with its parents when `create` is set), and that component in `fileName`.
    [[nodiscard]] FolderHandle ParentOfEntry(std::string_view entryPath, bool create,
                                             std::string& fileName, mode_t mode = 0777) const;
    // A second handle on the same folder.
    [[nodiscard]] FolderHandle Duplicate() const;
    // The names in the folder, without "." and ".."; empty when it cannot be read.
    std::vector<std::string> Names() const;
    // True when `name` here is, without following a link, the file open as `fd`.
    bool Holds(const std::string& name, int fd) const;

    bool IsOpen() const { return m_fd >= 0; }
    explicit operator bool() const { return IsOpen(); }
    int Fd() const { return m_fd; }
    // The errno of the step that failed to open this handle; 0 for an open one.
    int Error() const { return m_error; }
    // The path the folder was reached by, for messages.
    const std::string& Path() const { return m_path; }
    // The path of `name` in this folder, for messages.
    std::string PathOf(const std::string& name) const;
    // Writes the folder's entries to the disk, after a file was linked into it.
    [[nodiscard]] bool Sync() const;

private:
    FolderHandle(int fd, std::string path, int error);
    static FolderHandle Failed(std::string path, int error);

    int m_fd = -1;
    int m_error = EBADF;
    std::string m_path;
};

// True for one component of a path: not empty, not "." or "..", without "/".
bool IsPlainName(std::string_view name);

} // namespace lumora
