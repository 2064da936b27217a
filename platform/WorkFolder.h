// SPDX-License-Identifier: GPL-2.0-or-later
// Private working folders below the cache root, where decrypted files live while Lumora
// works on a carrier.
//
// A working folder is made exclusively under a temporary name (mode 0700, checked to
// belong to the user), locked with flock, and only then renamed to its final name, a
// number; so a cleaner never finds one unlocked. Its owner keeps the lock while it uses
// the folder and removes the folder with everything in it when done. A process that was
// killed leaves its folder unlocked, and RemoveStaleWorkFolders removes it at the next
// start of either program.
#pragma once

#include "platform/FolderHandle.h"

#include <cstdint>
#include <string>

namespace lumora {

class WorkFolder {
public:
    WorkFolder() = default;
    ~WorkFolder();
    WorkFolder(WorkFolder&& other) noexcept;
    WorkFolder& operator=(WorkFolder&& other) noexcept;
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // A new working folder in the cache root, named by the first free number from
    // `firstNumber` on (counted as a 32-bit signed number). Without one, Error() says why;
    // a folder that this call did not make is never used.
    [[nodiscard]] static WorkFolder Create(int32_t firstNumber);
    [[nodiscard]] static WorkFolder CreateIn(const FolderHandle& root, int32_t firstNumber);

    explicit operator bool() const { return m_lockFd >= 0; }
    const std::string& Path() const { return m_path; }
    const FolderHandle& Handle() const { return m_folder; }
    const std::string& Error() const { return m_error; }
    // Removes the folder with everything below it and gives up its lock; true when gone.
    [[nodiscard]] bool Remove();

private:
    FolderHandle m_root;
    FolderHandle m_folder;
    std::string m_name;
    std::string m_path;
    std::string m_error;
    int m_lockFd = -1;
};

// The cache root, made (mode 0700, with missing parents) when missing and `create` is set.
// It must belong to the user; one that others may write in is made private first. In a
// folder that others may write to, it must be a folder itself, not a link. Without
// a usable one, `error` says why.
[[nodiscard]] FolderHandle OpenCacheRoot(bool create, std::string& error);

// Removes the working folders of processes that ended without removing them: folders in
// `root` with a working folder's name that belong to the user and whose lock this process
// takes itself. Links are never followed. Returns how many were removed.
int RemoveStaleWorkFolders(const FolderHandle& root);
// The same in the cache root, if there is one: what both programs run at start.
int RemoveStaleWorkFolders();

// Removes the folder `name` in `parent` with everything below it, working relative to
// folder descriptors: links below are removed, never followed, and the user's own folders
// that lost their permissions are opened up first. True when the folder itself went.
[[nodiscard]] bool RemoveTreeAt(const FolderHandle& parent, const std::string& name);
// The same for a path; links before its last component are followed.
[[nodiscard]] bool RemoveTree(const std::string& path);

} // namespace lumora
