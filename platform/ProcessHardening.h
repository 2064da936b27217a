// SPDX-License-Identifier: GPL-2.0-or-later
// Keeps the passwords and decrypted content a process holds out of core dumps and away from
// other processes of the same user: the process is made not dumpable (no core file, no
// ptrace attach by the user's other processes, /proc/<pid>/mem and fd closed to them), and
// its core file size limit is set to 0 as a second layer. Called first thing in main().
#pragma once

namespace lumora {

// True when both measures took effect; they last for the life of the process.
[[nodiscard]] bool HardenProcess();

} // namespace lumora
