// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

class QCoreApplication;

namespace lumora {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, a kill, Ctrl-C in the starting terminal)
// into an orderly quit of the event loop, so the windows are destroyed as on a normal
// close and the engine's working folder with decrypted copies is removed.
void QuitOnTerminationSignals(QCoreApplication& app);

} // namespace lumora
