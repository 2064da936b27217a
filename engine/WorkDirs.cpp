// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/WorkDirs.h"

#include "platform/Clock.h"
#include "platform/WorkFolder.h"

#include <sys/stat.h>

namespace lumora {
namespace {

constexpr int kMaxNameAttempts = 100000;

// Used as the working folder when none could be made: a path below a device, where
// nothing can ever be created, also not by root.
constexpr const char* kNoWorkDir = "/dev/null/no-working-folder";

int32_t NextTick(int32_t tick) {
    return static_cast<int32_t>(static_cast<uint32_t>(tick) + 1u);
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

} // namespace

const std::string& WorkDirs::Create() {
    WorkFolder folder = WorkFolder::Create(TickCount());
    if (!folder) {
        m_error = folder.Error();
        m_dir = kNoWorkDir;
        m_dataDir = m_dir + "/DATA";
        return m_dir;
    }
    ::mkdirat(folder.Handle().Fd(), "DATA", 0700);
    m_error.clear();
    m_dir = folder.Path();
    m_dataDir = m_dir + "/DATA";
    m_folders.push_back(std::move(folder));
    return m_dir;
}

std::string WorkDirs::NewTempName() {
    if (m_dir.empty())
        Create();
    int32_t tick = TickCount();
    std::string name;
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        name = m_dir + "/" + std::to_string(tick) + ".tmp";
        if (m_tempNames.count(name) == 0 && !PathExists(name))
            break;
        tick = NextTick(tick);
    }
    m_tempNames.insert(name);
    return name;
}

} // namespace lumora
