// SPDX-License-Identifier: GPL-2.0-or-later
// The object's working folder below the cache root, its temporary names, and removing it.
#include "engine/BindImage.h"

#include "platform/Clock.h"
#include "platform/ProgramFolders.h"

#include <cerrno>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {
namespace {

constexpr int kMaxNameAttempts = 100000;

int32_t NextTick(int32_t tick) {
    return static_cast<int32_t>(static_cast<uint32_t>(tick) + 1u);
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

} // namespace

std::string CBindImage::CreateWorkDirs() {
    std::string cacheRoot = CacheRoot();
    std::error_code ec;
    std::filesystem::create_directories(cacheRoot, ec);

    // The folder is taken exclusively: when the tick's folder exists (another object in
    // the same millisecond, or a leftover), the next number is tried.
    int32_t tick = TickCount();
    std::string folder = cacheRoot + "/" + std::to_string(tick);
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        if (::mkdir(folder.c_str(), 0700) == 0) {
            m_ownedDirs.push_back(folder);
            break;
        }
        if (errno != EEXIST)
            break;
        tick = NextTick(tick);
        folder = cacheRoot + "/" + std::to_string(tick);
    }
    m_workDir = folder;
    m_dataDir = m_workDir + "/DATA";
    ::mkdir(m_dataDir.c_str(), 0700);
    return m_workDir;
}

std::string CBindImage::NewTempName() {
    if (m_workDir.empty())
        CreateWorkDirs();
    int32_t tick = TickCount();
    std::string name;
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        name = m_workDir + "/" + std::to_string(tick) + ".tmp";
        if (m_tempNames.count(name) == 0 && !PathExists(name))
            break;
        tick = NextTick(tick);
    }
    m_tempNames.insert(name);
    return name;
}

int CBindImage::RemoveFolderTree(const std::string& path) {
    struct stat top {};
    if (path.empty() || ::lstat(path.c_str(), &top) != 0 || !S_ISDIR(top.st_mode))
        return 0;
    // Our own folders may have lost their write permission (a hidden file's folder made
    // read-only); without it nothing inside could be deleted.
    ::chmod(path.c_str(), 0700);
    if (DIR* folder = ::opendir(path.c_str())) {
        while (const dirent* entry = ::readdir(folder)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "/" + name;
            struct stat info {};
            // Links are removed, never followed.
            if (::lstat(child.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                RemoveFolderTree(child);
            else
                ::unlink(child.c_str());
        }
        ::closedir(folder);
    }
    return ::rmdir(path.c_str()) == 0 ? 1 : 0;
}

} // namespace lumora
