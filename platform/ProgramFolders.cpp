// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/ProgramFolders.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace lumora {
namespace {

std::string& FolderOverride() {
    static std::string folder;
    return folder;
}

std::string XdgFolder(const char* variable, const char* homeRelative) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/')
        return std::string(value) + "/lumora";
    const char* home = std::getenv("HOME");
    std::string base = (home != nullptr && home[0] != '\0') ? home : "/tmp";
    return base + "/" + homeRelative + "/lumora";
}

} // namespace

// A portable copy keeps its files beside the executable. An installed copy (its data in
// "<prefix>/share/lumora" beside "<prefix>/bin") never does, also when root could write
// into the system's program folder.
static bool KeepsFilesBesideProgram(const std::string& base) {
    if (!IsWritableFolder(base))
        return false;
    std::error_code ec;
    return !std::filesystem::is_directory(base + "/../share/lumora", ec);
}

std::string ExecutablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

std::string ExecutableFolder() {
    std::string path = ExecutablePath();
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return path.substr(0, slash);
}

std::string ProgramFolder() {
    if (!FolderOverride().empty())
        return FolderOverride();
    return ExecutableFolder();
}

void SetProgramFolderOverride(const std::string& folder) {
    FolderOverride() = folder;
}

bool IsWritableFolder(const std::string& folder) {
    if (folder.empty())
        return false;
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return false;
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string CacheRoot() {
    std::string base = ProgramFolder();
    if (KeepsFilesBesideProgram(base))
        return base + "/cache";
    return XdgFolder("XDG_CACHE_HOME", ".cache");
}

std::string ConfigFolder() {
    std::string base = ProgramFolder();
    if (KeepsFilesBesideProgram(base))
        return base;
    return XdgFolder("XDG_CONFIG_HOME", ".config");
}

} // namespace lumora
