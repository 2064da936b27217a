// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/SafeOutput.h"

#include <sys/stat.h>

namespace lumora::cli {

std::string AlreadyExists(const std::string& path) {
    return path + " already exists (use --force to overwrite it)";
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

} // namespace lumora::cli
