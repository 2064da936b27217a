// SPDX-License-Identifier: GPL-2.0-or-later
// Opening carriers through the carrier session, and turning its statuses into CliErrors
// (cli/ReasonText.h).
#pragma once

#include "engine/CarrierSession.h"

#include <memory>
#include <optional>
#include <string>

namespace lumora::cli {

class Arguments;
class CarrierInput;
class PasswordSource;
class TerminalProgress;

// How a command treats a file without classic data. Only a password tells whether sealed
// data is there, and each try costs about a second and 256 MiB for the key.
enum class SealedTry {
    Always,    // try it, asking for the password when no source gives one
    WhenGiven, // try it only when a password source is given; else no data, at once
};

// The rule of the commands that read carriers: Always with --sealed, else WhenGiven.
SealedTry SealedTryOf(const Arguments& args);

// The format --sealed or --classic asks a save for; none when neither is given.
std::optional<CarrierFormat> FormatToWrite(const Arguments& args);

// A session on the carrier that reports to `progress`; throws for a file that cannot be
// read. `input` must outlive the session.
std::unique_ptr<CarrierSession> OpenCarrier(const CarrierInput& input, TerminalProgress& progress);

// Whether an opened file without classic data is to be tried as sealed under `how`.
bool TriesSealed(const CarrierSession& session, const PasswordSource& password, SealedTry how);

// Unlocks an opened session with the password from `password`. A prompt asks up to three
// times while the password is wrong, or for a file without classic data, while it opens
// nothing. Returns the last outcome.
[[nodiscard]] Status UnlockWithTries(CarrierSession& session, PasswordSource& password,
                                     ProofTiming proof = ProofTiming::AtUnlock);

// Opens the carrier and unlocks it with the password from `password`. A file without
// classic data is tried as sealed under `sealed`; no-data when it is not tried, or when
// the password does not open it (the two cannot be told apart). With `lock`, the carrier
// is held against other Lumora processes until the session ends (busy when one holds it).
// `threads` (a setting, see ThreadsOf) applies from the unlocking on. `proof` is for a
// command that goes on to write every hidden file out (see ProofTiming).
std::unique_ptr<CarrierSession> UnlockCarrier(const CarrierInput& input, PasswordSource& password,
                                              TerminalProgress& progress, SealedTry sealed,
                                              int threads, bool lock = false,
                                              ProofTiming proof = ProofTiming::AtUnlock);

// Opens the carrier for its image part: classic data needs no password, sealed data is
// unlocked as UnlockCarrier does.
std::unique_ptr<CarrierSession> OpenForImagePart(const CarrierInput& input,
                                                 PasswordSource& password,
                                                 TerminalProgress& progress, SealedTry sealed);

// Throws the CliError that tells a failed status, of `carrier` where it names one;
// returns for a successful one.
void ThrowIfFailed(const Status& status, const std::string& carrier = {});

} // namespace lumora::cli
