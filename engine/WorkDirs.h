// SPDX-License-Identifier: GPL-2.0-or-later
// The working folder of one engine object: a private, locked folder below the cache root
// with a DATA folder inside, and the temporary names handed out in it. The folders go
// when the object goes.
#pragma once

#include "platform/WorkFolder.h"

#include <set>
#include <string>
#include <vector>

namespace lumora {

class WorkDirs {
public:
    // Makes a new working folder and returns its path. Without one, Error() says why and
    // the path names a place where nothing can be created, so that every step needing it
    // fails instead of writing somewhere shared.
    const std::string& Create();
    // A path in the working folder that no file has and no earlier call handed out; makes
    // the folder first when there is none yet.
    std::string NewTempName();

    const std::string& Dir() const { return m_dir; }
    const std::string& DataDir() const { return m_dataDir; }
    // Why the last Create made no folder; empty when it made one.
    const std::string& Error() const { return m_error; }

private:
    std::string m_dir;
    std::string m_dataDir;
    std::set<std::string> m_tempNames;
    std::vector<WorkFolder> m_folders; // every folder made, removed with this object
    std::string m_error;
};

} // namespace lumora
