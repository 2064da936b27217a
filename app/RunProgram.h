// SPDX-License-Identifier: GPL-2.0-or-later
// The desktop program from start to end, shared by lumora and the screenshot harness.
#pragma once

#include <functional>

namespace lumora {

struct ProgramWindows;

// Answers --help and --version, or refuses a wrong command line, before anything needs a
// display; else starts the application: theme, signals, stale working folders, the language
// file, the windows, then the event loop. beforeShow,
// when set, is handed the windows once they are built, before the main window shows.
// Returns the exit status.
int RunProgram(int argc, char** argv,
               const std::function<void(const ProgramWindows&)>& beforeShow = {});

} // namespace lumora
