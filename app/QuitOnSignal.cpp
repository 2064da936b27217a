// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/QuitOnSignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace lumora {
namespace {

int g_signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop reads the signal's number and acts.
void OnSignal(int signal) {
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

void QuitOnTerminationSignals(QCoreApplication& app) {
    if (g_signalPipe[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        unsigned char byte = 0;
        if (::read(g_signalPipe[0], &byte, 1) != 1)
            return;
        // quit() closes the windows first, and a window may ask; exit() only ends the
        // loops. The engine is released once they have unwound, never beneath a running
        // operation.
        if (byte == SIGINT)
            app.quit();
        else
            QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace lumora
