// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/SaveCarrier.h"

#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/Interrupt.h"
#include "cli/SafeOutput.h"

namespace lumora::cli {

void SetEngineMessage(CBindImage& engine, const std::optional<std::string>& message) {
    engine.ClearMessage();
    if (message && !message->empty())
        engine.SetMessage(*message);
}

void AddFilesAndSave(CBindImage& engine, const std::vector<FileToHide>& files,
                     const std::string& destination) {
    engine.ClearSlots(SLOT_DROPPED);
    for (const auto& file : files)
        if (engine.AddFileSlot(file.path, SLOT_ADDED, -1, 0) < 0)
            throw Failure("too many files: no free slot for " + file.argument);
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
