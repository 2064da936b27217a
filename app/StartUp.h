// SPDX-License-Identifier: GPL-2.0-or-later
// The program's windows, built in start-up order: the main window (with the workflow
// frame inside it), then the password prompt and the about box, both hidden. Each applies
// the language file as it is built, so a first run writes the sections "TframeMsg",
// "TfrmMain", "TfrmCheckPass" and "TfrmAbout" in that order.
#pragma once

#include <memory>

namespace lumora {

class TfrmAbout;
class TfrmCheckPass;
class TfrmMain;

struct ProgramWindows {
    std::unique_ptr<TfrmMain> main;
    TfrmCheckPass* prompt = nullptr; // owned by the main window
    TfrmAbout* about = nullptr;      // owned by the main window
};

// Throws what the windows throw (a language file that cannot be written).
ProgramWindows CreateWindows();

} // namespace lumora
