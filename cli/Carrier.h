// SPDX-License-Identifier: GPL-2.0-or-later
// Opening and unlocking carriers through the carrier session, and turning its statuses
// into CliErrors (cli/ReasonText.h).
#pragma once

#include "engine/OpenedCarrier.h"
#include "engine/UnlockedCarrier.h"

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

// The format's name as options, JSON and messages give it ("classic", "sealed", "woven").
const char* FormatName(CarrierFormat format);

// The format --classic, --sealed or --woven asks a save for; none when none is given.
std::optional<CarrierFormat> FormatToWrite(const Arguments& args);

// The format of a new carrier: FormatToWrite's, else the one $LUMORA_FORMAT names; none
// when neither says. A usage error for another value of the variable.
std::optional<CarrierFormat> NewCarrierFormat(const Arguments& args);

// The carrier opened, reporting to `progress`; throws for a file that cannot be read.
// `input` must outlive it.
std::unique_ptr<OpenedCarrier> OpenCarrier(const CarrierInput& input, TerminalProgress& progress);

// Whether an opened file without classic data is to be tried as sealed or woven under `how`.
bool TriesSealed(const OpenedCarrier& carrier, const PasswordSource& password, SealedTry how);

// Unlocks `opened` with the password from `password`, asking again as engine/
// PasswordTries.h says. Returns the last outcome; on Ok, `unlocked` has taken over.
[[nodiscard]] Status UnlockWithTries(std::unique_ptr<OpenedCarrier>& opened,
                                     PasswordSource& password,
                                     std::unique_ptr<UnlockedCarrier>& unlocked,
                                     ProofTiming proof = ProofTiming::AtUnlock);

// Opens the carrier and unlocks it with the password from `password`. A file without
// classic data is tried as sealed under `sealed`; no-data when it is not tried, or when
// the password does not open it (the two cannot be told apart). With `lock`, the carrier
// is held against other Lumora processes until the session ends (busy when one holds it).
// `threads` (a setting, see ThreadsOf) applies from the unlocking on. `proof` is for a
// command that goes on to write every hidden file out (see ProofTiming).
std::unique_ptr<UnlockedCarrier> UnlockCarrier(const CarrierInput& input, PasswordSource& password,
                                               TerminalProgress& progress, SealedTry sealed,
                                               int threads, bool lock = false,
                                               ProofTiming proof = ProofTiming::AtUnlock);

// A carrier ready to give the picture it was made from: classic data opened, which needs
// no password, or sealed data unlocked, whose image length only the password opens.
struct ImagePartSource {
    std::unique_ptr<OpenedCarrier> opened;
    std::unique_ptr<UnlockedCarrier> unlocked;

    Status SaveImagePart(const std::string& path, bool replace);
};

// The carrier of `input` for its image part: sealed data is unlocked as UnlockCarrier does.
ImagePartSource OpenForImagePart(const CarrierInput& input, PasswordSource& password,
                                 TerminalProgress& progress, SealedTry sealed);

// The names of the hidden files of carrier known to be damaged, in order.
std::vector<std::string> DamagedFiles(const UnlockedCarrier& carrier);

// Throws the CliError that tells a failed status, of `carrier` where it names one;
// returns for a successful one.
void ThrowIfFailed(const Status& status, const std::string& carrier = {});

} // namespace lumora::cli
