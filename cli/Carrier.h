// SPDX-License-Identifier: GPL-2.0-or-later
// Opening carriers through the carrier session, and turning its outcomes into CliErrors
// with the exit status each outcome has.
#pragma once

#include "engine/CarrierSession.h"

#include <memory>
#include <optional>
#include <string>

namespace lumora::cli {

class TerminalProgress;

// A session on `path` that reports to `progress`; throws for a file that cannot be read.
std::unique_ptr<CarrierSession> OpenCarrier(const std::string& path, TerminalProgress& progress);

// Opens `path`, checks it holds data (exit 4), obtains the password and unlocks it (exit 3
// for a wrong one, 1 for damage). With `lock`, the carrier is held against other Lumora
// processes until the session ends (exit 5 when one holds it).
std::unique_ptr<CarrierSession> UnlockCarrier(const std::string& command, const std::string& path,
                                              const std::optional<std::string>& passwordFile,
                                              TerminalProgress& progress, bool lock = false);

// Throws the CliError that tells a failed status; returns for a successful one.
void ThrowIfFailed(const Status& status);

} // namespace lumora::cli
