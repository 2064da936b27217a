// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/Carrier.h"

#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "cli/Interrupt.h"
#include "cli/Password.h"
#include "cli/ReasonText.h"
#include "cli/Report.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalProgress.h"
#include "engine/PasswordTries.h"

#include <cstdlib>

namespace lumora::cli {
namespace {

// Opens the carrier, and throws no-data unless it holds classic data or sealed data that
// is tried under `sealed`; with `lock` it is held from here on.
std::unique_ptr<OpenedCarrier> OpenForUnlocking(const CarrierInput& input,
                                                const PasswordSource& password,
                                                TerminalProgress& progress, SealedTry sealed,
                                                int threads, bool lock) {
    auto opened = OpenCarrier(input, progress);
    opened->SetWorkerThreads(threads);
    if (!opened->HoldsClassicData()) {
        if (!opened->MayHoldSealedData())
            throw ErrorOf(Status::Fail(Reason::NoData), input.Name());
        if (!TriesSealed(*opened, password, sealed))
            throw ErrorOf(Status::Fail(Reason::SealedNotTried), input.Name());
    }
    if (lock)
        ThrowIfFailed(opened->Lock(), input.Name());
    return opened;
}

// Unlocks what OpenForUnlocking opened, or throws.
std::unique_ptr<UnlockedCarrier> UnlockOpened(std::unique_ptr<OpenedCarrier>& opened,
                                              const CarrierInput& input, PasswordSource& password,
                                              ProofTiming proof) {
    const bool sealed = !opened->HoldsClassicData();
    std::unique_ptr<UnlockedCarrier> unlocked;
    ThrowIfFailed(UnlockWithTries(opened, password, unlocked, proof), input.Name());
    const std::string source = " with the password from " + password.Describe();
    // A proof left to the first read can still find the password wrong.
    if (sealed)
        Detail("unlocked the sealed data of " + input.Name() + source);
    else if (unlocked->PasswordProved())
        Detail("unlocked " + input.Name() + source);
    else
        Detail("opened " + input.Name() + source + "; reading the files will prove it");
    return unlocked;
}

} // namespace

SealedTry SealedTryOf(const Arguments& args) {
    return args.Has("sealed") ? SealedTry::Always : SealedTry::WhenGiven;
}

std::optional<CarrierFormat> FormatToWrite(const Arguments& args) {
    if (args.Has("sealed") && args.Has("classic"))
        throw UsageError(args.Command(), "give either --sealed or --classic");
    if (args.Has("sealed"))
        return CarrierFormat::Sealed;
    if (args.Has("classic"))
        return CarrierFormat::Classic;
    return std::nullopt;
}

CarrierFormat NewCarrierFormat(const Arguments& args) {
    if (const std::optional<CarrierFormat> asked = FormatToWrite(args))
        return *asked;
    const char* variable = std::getenv("LUMORA_FORMAT");
    const std::string chosen = variable != nullptr ? variable : "";
    if (chosen.empty() || chosen == "classic")
        return CarrierFormat::Classic;
    if (chosen == "sealed")
        return CarrierFormat::Sealed;
    if (chosen == "woven")
        throw UsageError(args.Command(), "LUMORA_FORMAT=woven: this version cannot write woven "
                                         "carriers yet; use sealed or classic");
    throw UsageError(args.Command(),
                     "LUMORA_FORMAT must be classic, sealed or woven, not '" + chosen + "'");
}

void ThrowIfFailed(const Status& status, const std::string& carrier) {
    if (status.Ok())
        return;
    // A signal ends the command as "interrupted", whatever the engine made of it.
    StopIfInterrupted();
    throw ErrorOf(status, carrier);
}

std::unique_ptr<OpenedCarrier> OpenCarrier(const CarrierInput& input, TerminalProgress& progress) {
    RequireReadableFile(input.Path());
    std::unique_ptr<OpenedCarrier> opened;
    ThrowIfFailed(OpenedCarrier::Open(input.Path(), opened), input.Name());
    opened->SetProgressObserver(&progress);
    // A command ends soon: nothing of the hidden data needs a copy in the working folder.
    opened->SetReadFromCarrier(true);
    return opened;
}

bool TriesSealed(const OpenedCarrier& carrier, const PasswordSource& password, SealedTry how) {
    return carrier.MayHoldSealedData() && (how == SealedTry::Always || password.IsGiven());
}

Status UnlockWithTries(std::unique_ptr<OpenedCarrier>& opened, PasswordSource& password,
                       std::unique_ptr<UnlockedCarrier>& unlocked, ProofTiming proof) {
    // Only the first password tells whether a prompt gives them.
    Password first = password.Get();
    PasswordTries tries(*opened, password.Tries());
    Status status = OpenedCarrier::Unlock(opened, std::move(first), unlocked, proof);
    while (tries.AskAgain(status)) {
        password.SayWrong(tries.ForSealedData());
        status = OpenedCarrier::Unlock(opened, password.Get(), unlocked, proof);
    }
    return status;
}

std::unique_ptr<UnlockedCarrier> UnlockCarrier(const CarrierInput& input, PasswordSource& password,
                                               TerminalProgress& progress, SealedTry sealed,
                                               int threads, bool lock, ProofTiming proof) {
    auto opened = OpenForUnlocking(input, password, progress, sealed, threads, lock);
    return UnlockOpened(opened, input, password, proof);
}

Status ImagePartSource::SaveImagePart(const std::string& path, bool replace) {
    return unlocked != nullptr ? unlocked->SaveImagePart(path, replace)
                               : opened->SaveImagePart(path, replace);
}

ImagePartSource OpenForImagePart(const CarrierInput& input, PasswordSource& password,
                                 TerminalProgress& progress, SealedTry sealed) {
    ImagePartSource source;
    source.opened = OpenForUnlocking(input, password, progress, sealed, 0, false);
    if (!source.opened->HoldsClassicData())
        source.unlocked = UnlockOpened(source.opened, input, password, ProofTiming::AtUnlock);
    return source;
}

std::vector<std::string> DamagedFiles(const UnlockedCarrier& carrier) {
    std::vector<std::string> names;
    for (const HiddenEntry& entry : carrier.Entries())
        if (entry.damaged)
            names.push_back(entry.name);
    return names;
}

} // namespace lumora::cli
