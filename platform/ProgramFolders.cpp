// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/ProgramFolders.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lumora {
namespace {

std::string& FolderOverride() {
    static std::string folder;
    return folder;
}

// A folder that only the current user may change: theirs, and not writable by others.
bool IsPrivateFolder(const std::string& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 022) == 0;
}

bool IsOwnFolder(const std::string& folder) {
    struct stat info {};
    return !folder.empty() && folder[0] == '/' && ::stat(folder.c_str(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
}

// $HOME when it is the user's own folder, else the home folder of the password database.
std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && IsOwnFolder(home))
        return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && IsOwnFolder(found->pw_dir))
        return found->pw_dir;
    return std::string();
}

// $XDG_<variable>/lumora, else the user's home folder's homeRelative/lumora, else the
// runtime folder. With none of them, a folder of this run's own, made private by mkdtemp:
// settings then last for this run only, and nobody else can have prepared the folder.
std::string XdgFolder(const char* variable, const char* homeRelative) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/')
        return std::string(value) + "/lumora";
    const std::string home = HomeFolder();
    if (!home.empty())
        return home + "/" + homeRelative + "/lumora";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/')
        return std::string(runtime) + "/lumora";
    static const std::string own = [] {
        std::string folder = "/tmp/lumora-XXXXXX";
        return ::mkdtemp(folder.data()) != nullptr ? folder : std::string();
    }();
    return own;
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
    if (KeepsFilesBesideProgram(base) && IsPrivateFolder(base))
        return base + "/cache";
    const char* cacheHome = std::getenv("XDG_CACHE_HOME");
    if (cacheHome != nullptr && cacheHome[0] == '/')
        return std::string(cacheHome) + "/lumora";
    std::string home = HomeFolder();
    if (!home.empty())
        return home + "/.cache/lumora";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/')
        return std::string(runtime) + "/lumora";
    // The last resort is shared with every user: a folder of this user's own in it
    // (OpenCacheRoot makes it 0700 and never follows a link there).
    const char* temporary = std::getenv("TMPDIR");
    const std::string shared = temporary != nullptr && temporary[0] == '/' ? temporary : "/tmp";
    return shared + "/lumora-" + std::to_string(::geteuid());
}

std::string ConfigFolder() {
    std::string base = ProgramFolder();
    if (KeepsFilesBesideProgram(base) && IsPrivateFolder(base))
        return base;
    return XdgFolder("XDG_CONFIG_HOME", ".config");
}

} // namespace lumora
