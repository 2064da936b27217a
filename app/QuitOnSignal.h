// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

class QCoreApplication;

namespace lumora {

// SIGTERM and SIGHUP (a logout, a kill, the terminal going away) end the program without a
// question, which a session that is going away cannot answer: every event loop ends (a
// question or dialog open at that moment returns as cancelled, an operation running behind
// a progress dialog finishes first), and as the windows are destroyed the engine's working
// folder with the decrypted copies is removed. SIGINT (Ctrl-C in the starting terminal,
// whose user is at hand) closes the windows as a normal close does, which asks before
// unsaved work is thrown away.
void QuitOnTerminationSignals(QCoreApplication& app);

} // namespace lumora
