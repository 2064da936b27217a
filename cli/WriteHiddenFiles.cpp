// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/WriteHiddenFiles.h"

#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "cli/Interrupt.h"
#include "cli/SafeOutput.h"

#include <cerrno>
#include <filesystem>
#include <set>

namespace lumora::cli {

void WriteHiddenFiles(CBindImage& engine, const std::vector<HiddenFile>& files,
                      const std::string& folder, bool replace) {
    std::vector<std::string> targets;
    std::set<std::string> distinct;
    for (const auto& file : files) {
        targets.push_back(TargetPath(folder, file.name));
        // Carriers made elsewhere may hide two files under one name; writing both would
        // leave only the last.
        if (!distinct.insert(targets.back()).second)
            throw Failure("more than one hidden file is named " + file.name +
                          "; they cannot all be written into " + folder);
        if (!replace && PathExists(targets.back()))
            throw Failure(AlreadyExists(targets.back()));
    }

    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec)
        throw Failure("cannot write " + folder + ": " + ec.message());

    for (size_t i = 0; i < files.size(); ++i) {
        StopIfInterrupted();
        CreateParentFolders(folder, targets[i]);
        std::string copy;
        if (engine.ExtractHiddenFile(files[i].slot, copy) != 1) {
            StopIfInterrupted();
            throw Failure(EngineReason(engine, "cannot extract " + files[i].name));
        }
        PlaceFile(copy, targets[i], replace);
    }
}

} // namespace lumora::cli
