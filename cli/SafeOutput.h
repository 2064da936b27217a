// SPDX-License-Identifier: GPL-2.0-or-later
// Writing hidden files out below a folder: names are checked so that nothing lands
// outside it, and existing files are replaced only when the user asked for it.
#pragma once

#include <string>

namespace lumora::cli {

// The path below `folder` where the entry `entryName` ("/" separates sub-folders) goes.
// Throws for names that are not IsSafeEntryName (archive/EntryName.h).
std::string TargetPath(const std::string& folder, const std::string& entryName);

// Creates the folders between `folder` and `target`; refuses to pass through a symbolic
// link or a file on the way.
void CreateParentFolders(const std::string& folder, const std::string& target);

// True when something (a file, a folder, a dangling link) exists at `path`.
bool PathExists(const std::string& path);

// Moves the finished file `source` to `target` through a new file beside the target, so
// the target never holds a partial file. Without `replace`, an existing target is left
// alone and reported.
void PlaceFile(const std::string& source, const std::string& target, bool replace);

std::string AlreadyExists(const std::string& path);

} // namespace lumora::cli
