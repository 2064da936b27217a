// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/ProcessHardening.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace lumora {

bool HardenProcess() {
    bool notDumpable = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
    // The hard limit too, so that nothing in the process can raise it again.
    struct rlimit noCore {
        0, 0
    };
    bool noCoreFile = ::setrlimit(RLIMIT_CORE, &noCore) == 0;
    return notDumpable && noCoreFile;
}

} // namespace lumora
