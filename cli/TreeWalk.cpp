// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/TreeWalk.h"

#include "cli/Interrupt.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace lumora::cli {
namespace {

// Walks the folder open as `fd` (taken over) at `path`.
void WalkFolder(int fd, const std::string& path, const std::string& relative,
                const TreeVisitor& visitor) {
    DIR* folder = ::fdopendir(fd);
    if (folder == nullptr) {
        const int error = errno;
        ::close(fd);
        visitor.unreadable(path, error);
        return;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
        errno = 0;
    }
    if (errno != 0)
        visitor.unreadable(path, errno);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        StopIfInterrupted();
        const std::string below = path + "/" + name;
        const std::string belowRoot = relative.empty() ? name : relative + "/" + name;
        struct stat info {};
        if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            // Gone since the folder was read: nothing to report.
            continue;
        }
        if (!S_ISDIR(info.st_mode)) {
            visitor.entry(TreeEntry{fd, name, below, belowRoot, info});
            continue;
        }
        const int child = ::openat(fd, name.c_str(),
                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (child < 0) {
            visitor.unreadable(below, errno);
            continue;
        }
        WalkFolder(child, below, belowRoot, visitor);
    }
    ::closedir(folder);
}

} // namespace

void WalkTree(const std::string& root, const TreeVisitor& visitor) {
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        visitor.unreadable(root, errno);
        return;
    }
    std::string path = root;
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    WalkFolder(fd, path, std::string(), visitor);
}

} // namespace lumora::cli
