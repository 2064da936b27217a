// SPDX-License-Identifier: GPL-2.0-or-later
// The number of threads a command hides, reveals and checks with.
#pragma once

namespace lumora::cli {

class Arguments;

// --threads N, else the LUMORA_THREADS environment variable, else 0 (one per usable
// processor); a usage error for a count that is not a whole number from 1 to 64.
int ThreadsOf(const Arguments& args);

} // namespace lumora::cli
