// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/TerminalProgress.h"

#include "cli/Interrupt.h"
#include "cli/Report.h"
#include "cli/TerminalText.h"

#include <cstdio>

namespace lumora::cli {
namespace {

TerminalProgress* g_active = nullptr;

} // namespace

TerminalProgress::TerminalProgress()
    : m_visible(IsTerminal(Stream::Err) && CurrentVerbosity() != Verbosity::Quiet) {
    g_active = this;
}

TerminalProgress::~TerminalProgress() {
    Clear();
    if (g_active == this)
        g_active = nullptr;
}

void TerminalProgress::ClearActive() {
    if (g_active != nullptr)
        g_active->Clear();
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

    int percent = bytesTotal > 0 ? static_cast<int>(bytesDone * 100 / bytesTotal) : 0;
    if (percent == m_lastPercent && name == m_lastStep)
        return true;
    m_lastPercent = percent;
    m_lastStep = name;
    // A step without a measure (the key derivation) shows its name alone.
    if (bytesTotal > 0)
        std::fprintf(stderr, "\r\033[K%s %3d%%", name.c_str(), percent);
    else
        std::fprintf(stderr, "\r\033[K%s...", name.c_str());
    std::fflush(stderr);
    m_drawn = true;
    return true;
}

void TerminalProgress::Clear() {
    if (!m_drawn)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_drawn = false;
    m_lastPercent = -1;
    m_lastStep.clear();
}

} // namespace lumora::cli
