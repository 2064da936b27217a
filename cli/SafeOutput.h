// SPDX-License-Identifier: GPL-2.0-or-later
// Outputs that exist already are replaced only when the user asked for it.
#pragma once

#include <string>

namespace lumora::cli {

// True when something (a file, a folder, a dangling link) exists at `path`.
bool PathExists(const std::string& path);

std::string AlreadyExists(const std::string& path);

} // namespace lumora::cli
