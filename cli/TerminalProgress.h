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

private:
    bool m_visible;
    std::string m_toldStep; // the last step told with -v
};

} // namespace lumora::cli
