// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/Interrupt.h"

#include "cli/CliError.h"

#include <csignal>
#include <cstdlib>

namespace lumora::cli {
namespace {

volatile std::sig_atomic_t g_pendingSignal = 0;

void OnSignal(int signal) {
    g_pendingSignal = signal;
}

} // namespace

void InstallInterruptHandlers() {
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking read of the password prompt returns EINTR.
    action.sa_flags = 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaction(signal, &action, nullptr);
}

int PendingSignal() {
    return g_pendingSignal;
}

bool StopForSignal() {
    return g_pendingSignal != 0;
}

void StopIfInterrupted() {
    if (g_pendingSignal != 0)
        throw Failure("interrupted", Reason::Cancelled);
}

void ReraisePendingSignal() {
    int signal = g_pendingSignal;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
}

} // namespace lumora::cli
