// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/SaveCarrier.h"

#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/Interrupt.h"
#include "cli/SafeOutput.h"

namespace lumora::cli {

void SaveContent(CBindImage& engine, const std::optional<std::string>& message,
                 const std::vector<int>& keptSlots, const std::vector<FileToHide>& files,
                 const std::string& destination) {
    std::vector<std::string> paths;
    for (const auto& file : files)
        paths.push_back(file.path);
    if (engine.ReplaceContent(message, keptSlots, paths) != 1)
        throw Failure(engine.LastError());
    StopIfInterrupted();
    if (engine.SaveCarrier(destination) != 1) {
        StopIfInterrupted();
        throw Failure(EngineReason(engine, "cannot write " + destination));
    }
}

void RequireNewOutput(const std::string& output, bool replace) {
    if (!replace && PathExists(output))
        throw Failure(AlreadyExists(output));
}

} // namespace lumora::cli
