// SPDX-License-Identifier: GPL-2.0-or-later
// The wording of file errors, shared by every command.
#pragma once

#include <string>

namespace lumora::cli {

// "cannot read PATH: <reason of errno>", for the errno of the failed call.
std::string CannotRead(const std::string& path);
std::string CannotWrite(const std::string& path);

// "PATH already exists (use --force to overwrite it)".
std::string AlreadyExists(const std::string& path);

// True when something (a file, a folder, a dangling link) exists at `path`.
bool PathExists(const std::string& path);

// Throws "cannot read PATH: ..." unless PATH is a regular file that can be opened.
void RequireReadableFile(const std::string& path);

} // namespace lumora::cli
