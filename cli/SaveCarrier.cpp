// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/SaveCarrier.h"

#include "cli/CliError.h"
#include "cli/SafeOutput.h"

namespace lumora::cli {

void RequireNewOutput(const std::string& output, bool replace) {
    if (!replace && PathExists(output))
        throw Failure(AlreadyExists(output));
}

} // namespace lumora::cli
