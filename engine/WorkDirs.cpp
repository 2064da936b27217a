// SPDX-License-Identifier: GPL-2.0-or-later
// The object's working folder below the cache root, its temporary names, and removing it.
#include "engine/BindImage.h"

#include "platform/Clock.h"
#include "platform/WorkFolder.h"

#include <sys/stat.h>

namespace lumora {
namespace {

constexpr int kMaxNameAttempts = 100000;

// Used as the working folder when none could be made: a path below a device, where
// nothing can ever be created, also not by root. Every step that needs the working folder
// then fails instead of writing somewhere shared.
constexpr const char* kNoWorkDir = "/dev/null/no-working-folder";

int32_t NextTick(int32_t tick) {
    return static_cast<int32_t>(static_cast<uint32_t>(tick) + 1u);
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

} // namespace

std::string CBindImage::CreateWorkDirs() {
    WorkFolder folder = WorkFolder::Create(TickCount());
    if (!folder) {
        m_workFolderError = folder.Error();
        m_workDir = kNoWorkDir;
        m_dataDir = m_workDir + "/DATA";
        return m_workDir;
    }
    ::mkdirat(folder.Handle().Fd(), "DATA", 0700);
    m_workFolderError.clear();
    m_workDir = folder.Path();
    m_dataDir = m_workDir + "/DATA";
    m_workFolders.push_back(std::move(folder));
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
    return RemoveTree(path) ? 1 : 0;
}

} // namespace lumora
