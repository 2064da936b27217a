// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-screenshot: the desktop program with the scenes of Screenshot.h.
#include "app/RunProgram.h"
#include "platform/ProgramFolders.h"
#include "screenshot/Screenshot.h"

#include <cstdlib>

int main(int argc, char** argv) {
    if (const char* folder = std::getenv("LUMORA_PROGRAM_FOLDER"))
        lumora::SetProgramFolderOverride(folder);
    return lumora::RunProgram(argc, argv, [](const lumora::ProgramWindows& windows) {
        lumora::StartScreenshot(windows);
    });
}
