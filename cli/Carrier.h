// SPDX-License-Identifier: GPL-2.0-or-later
// Opening carriers through the carrier session, and turning its outcomes into CliErrors
// with the code each outcome has.
#pragma once

#include "engine/CarrierSession.h"

#include <memory>

namespace lumora::cli {

class CarrierInput;
class PasswordSource;
class TerminalProgress;

// A session on the carrier that reports to `progress`; throws for a file that cannot be
// read. `input` must outlive the session.
std::unique_ptr<CarrierSession> OpenCarrier(const CarrierInput& input, TerminalProgress& progress);

// Opens the carrier, checks it holds data (no-data), and unlocks it with the password
// from `password`, which a prompt asks up to three times (wrong-password, damaged). With
// `lock`, the carrier is held against other Lumora processes until the session ends
// (busy when one holds it).
std::unique_ptr<CarrierSession> UnlockCarrier(const CarrierInput& input, PasswordSource& password,
                                              TerminalProgress& progress, bool lock = false);

// Throws the CliError that tells a failed status; returns for a successful one.
void ThrowIfFailed(const Status& status);

} // namespace lumora::cli
