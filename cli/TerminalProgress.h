// SPDX-License-Identifier: GPL-2.0-or-later
// The engine's progress observer for lumora-cli: draws one self-overwriting status line
// on stderr when stderr is a terminal (not with -q), tells each step with -v, and cancels the
// operation once a signal arrived.
#pragma once

#include "engine/Outcome.h"

#include <string>

namespace lumora::cli {

class TerminalProgress : public CProgressObserver {
public:
    TerminalProgress();
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    bool OnProgress(ProgressStep step, int64_t bytesDone, int64_t bytesTotal) override;
    // Removes the status line, so that what follows starts on a clean line.
    void Clear();
    // Clear() on the observer that draws now, if any: before other lines go to stderr.
    static void ClearActive();

private:
    bool m_visible;
    bool m_drawn = false;
    std::string m_lastStep;
    std::string m_toldStep; // the last step told with -v
    int m_lastPercent = -1;
};

} // namespace lumora::cli
