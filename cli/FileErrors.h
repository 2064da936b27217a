// SPDX-License-Identifier: GPL-2.0-or-later
// The errors of files named on the command line, shared by every command and worded by
// the reason table (cli/ReasonText.h).
#pragma once

#include "cli/CliError.h"

#include <string>

namespace lumora::cli {

// "cannot read PATH: <reason of errno>", for the errno of the failed call.
CliError CannotRead(const std::string& path);
CliError CannotWrite(const std::string& path);

// "PATH already exists (use --force to overwrite it)".
CliError AlreadyExists(const std::string& path);

// True when something (a file, a folder, a dangling link) exists at `path`.
bool PathExists(const std::string& path);

// Throws "cannot read PATH: ..." unless PATH is a regular file that can be opened.
void RequireReadableFile(const std::string& path);

} // namespace lumora::cli
