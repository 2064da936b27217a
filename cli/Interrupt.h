// SPDX-License-Identifier: GPL-2.0-or-later
// Ctrl-C, SIGTERM, SIGHUP and SIGPIPE (a reader that went away) only set a flag. Long engine
// operations see it through the progress observer and cancel, cleaning up after themselves; the
// command then unwinds (its engine objects remove their working folders) and main() re-raises the
// signal.
#pragma once

namespace lumora::cli {

void InstallInterruptHandlers();

// The signal that asked the program to stop, or 0.
int PendingSignal();

// True when a signal has arrived: a read or write it interrupted gives up rather than
// waiting on (for platform/DescriptorIo.h).
bool StopForSignal();

// Throws a CliError when a signal has arrived.
void StopIfInterrupted();

// Ends the process by the pending signal with its default action.
[[noreturn]] void ReraisePendingSignal();

} // namespace lumora::cli
