// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/TerminalProgress.h"

#include "cli/Interrupt.h"
#include "cli/Report.h"
#include "cli/StatusLine.h"
#include "cli/TerminalText.h"

#include <cstdio>

namespace lumora::cli {

TerminalProgress::TerminalProgress()
    : m_visible(IsTerminal(Stream::Err) && CurrentVerbosity() != Verbosity::Quiet) {}

TerminalProgress::~TerminalProgress() {
    Clear();
}

bool TerminalProgress::OnProgress(ProgressStep step, int64_t bytesDone, int64_t bytesTotal) {
    if (PendingSignal() != 0)
        return false;
    std::string name = ProgressStepName(step);
    if (name != m_toldStep && CurrentVerbosity() == Verbosity::Verbose) {
        Detail(name);
        m_toldStep = name;
    }
    if (!m_visible)
        return true;

    // A step without a measure (the key derivation) shows its name alone.
    if (bytesTotal <= 0) {
        DrawStatusLine(name + "...");
        return true;
    }
    char percent[16];
    std::snprintf(percent, sizeof percent, " %3d%%",
                  static_cast<int>(bytesDone * 100 / bytesTotal));
    DrawStatusLine(name + percent);
    return true;
}

void TerminalProgress::Clear() {
    if (m_visible)
        ClearStatusLine();
}

} // namespace lumora::cli
