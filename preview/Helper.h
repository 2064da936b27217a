// SPDX-License-Identifier: GPL-2.0-or-later
// The preview helper, lumora-preview: decodes one picture and ends. The program starts it
// with one end of a socket as its stdin and stdout and sends one request
// (preview/PreviewProtocol.h); the helper answers and exits.
//
// In this order: not dumpable and no core file; ended by the kernel when the program
// ends; no display or session bus (Qt draws off screen); Qt, its image plugins and fonts
// loaded; resource limits and the system call filter in place (preview/Sandbox.h); only
// then the request is read and decoded. The helper never ends through destructors or exit
// handlers, which could need calls the filter refuses.
#pragma once

namespace lumora::preview {

enum HelperExit {
    kAnswered = 0,
    kBadRequest = 2,
    kNoSandbox = 3,
    kAnswerLost = 4,
};

// Runs the helper; `inSandbox`, when given, runs once the sandbox is in place, before the
// request is read (tests use it to misbehave). Does not return.
[[noreturn]] void RunHelper(int argc, char** argv, void (*inSandbox)() = nullptr);

} // namespace lumora::preview
