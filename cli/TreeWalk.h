// SPDX-License-Identifier: GPL-2.0-or-later
// Walks a folder tree relative to folder descriptors, in name order: every entry is
// looked at with lstat first, symbolic links are never followed, and nothing but folders
// is opened here.
#pragma once

#include <functional>
#include <string>
#include <sys/stat.h>

namespace lumora::cli {

struct TreeEntry {
    int folderFd;             // the open folder that holds the entry
    const std::string& name;  // its name there
    const std::string& path;  // the root's path, "/", the path below it
    const std::string& below; // the path below the root
    const struct stat& info;  // from lstat
};

struct TreeVisitor {
    // Every entry that is not a folder (links to folders included).
    std::function<void(const TreeEntry&)> entry;
    // A folder that could not be opened or read, with its errno; the walk goes on.
    std::function<void(const std::string& path, int error)> unreadable;
};

// Walks below the folder at `root` (which may be reached through links).
void WalkTree(const std::string& root, const TreeVisitor& visitor);

} // namespace lumora::cli
