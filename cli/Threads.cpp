// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/Threads.h"

#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "platform/WorkerPool.h"

#include <cstdlib>

namespace lumora::cli {

int ThreadsOf(const Arguments& args) {
    if (const auto given = args.Number("threads", 1, kMaxWorkerThreads))
        return static_cast<int>(*given);
    const char* text = std::getenv("LUMORA_THREADS");
    if (text == nullptr || *text == '\0')
        return 0;
    if (const auto count = ParseThreadCount(text))
        return *count;
    throw UsageError(args.Command(), "LUMORA_THREADS needs a whole number from 1 to " +
                                         std::to_string(kMaxWorkerThreads) + ", not '" + text +
                                         "'");
}

} // namespace lumora::cli
