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
#include <string_view>

namespace lumora::cli {
namespace {

// Throws no-data unless `opened` holds classic data, or sealed or woven data that is tried
// under `sealed`; with `lock` it is held from here on.
void CheckTried(OpenedCarrier& opened, const CarrierInput& input, const PasswordSource& password,
                SealedTry sealed, bool lock) {
    if (!opened.HoldsClassicData()) {
        if (!opened.MayHoldSealedData() && !opened.MayHoldWovenData())
            throw ErrorOf(Status::Fail(Reason::NoData), input.Name());
        if (!TriesSealed(opened, password, sealed))
            throw ErrorOf(Status::Fail(Reason::SealedNotTried), input.Name());
    }
    if (lock)
        ThrowIfFailed(opened.Lock(), input.Name());
}

// Opens the carrier and checks it as CheckTried does.
std::unique_ptr<OpenedCarrier> OpenForUnlocking(const CarrierInput& input,
                                                const PasswordSource& password,
                                                TerminalProgress& progress, SealedTry sealed,
                                                int threads, bool lock) {
    auto opened = OpenCarrier(input, progress);
    opened->SetWorkerThreads(threads);
    CheckTried(*opened, input, password, sealed, lock);
    return opened;
}

// Unlocks what OpenForUnlocking opened, or throws.
std::unique_ptr<UnlockedCarrier> UnlockOpened(std::unique_ptr<OpenedCarrier>& opened,
                                              const CarrierInput& input, PasswordSource& password,
                                              ProofTiming proof) {
    std::unique_ptr<UnlockedCarrier> unlocked;
    ThrowIfFailed(UnlockWithTries(opened, password, unlocked, proof), input.Name());
    const std::string source = " with the password from " + password.Describe();
    // A proof left to the first read can still find the password wrong.
    if (unlocked->Format() != CarrierFormat::Classic)
        Detail("unlocked the " + std::string(FormatName(unlocked->Format())) + " data of " +
               input.Name() + source);
    else if (unlocked->PasswordProved())
        Detail("unlocked " + input.Name() + source);
    else
        Detail("opened " + input.Name() + source + "; reading the files will prove it");
    return unlocked;
}

} // namespace

SealedTry SealedTryOf(const Arguments& args) {
    return args.Has("sealed") || args.Has("woven") ? SealedTry::Always : SealedTry::WhenGiven;
}

const char* FormatName(CarrierFormat format) {
    switch (format) {
    case CarrierFormat::Classic:
        break;
    case CarrierFormat::Sealed:
        return "sealed";
    case CarrierFormat::Woven:
        return "woven";
    }
    return "classic";
}

std::optional<CarrierFormat> FormatToWrite(const Arguments& args) {
    std::optional<CarrierFormat> format;
    for (const CarrierFormat flag :
         {CarrierFormat::Classic, CarrierFormat::Sealed, CarrierFormat::Woven}) {
        if (!args.Has(FormatName(flag)))
            continue;
        if (format)
            throw UsageError(args.Command(), "give one of --classic, --sealed and --woven");
        format = flag;
    }
    return format;
}

std::optional<CarrierFormat> NewCarrierFormat(const Arguments& args) {
    if (const std::optional<CarrierFormat> given = FormatToWrite(args))
        return given;
    const char* value = std::getenv("LUMORA_FORMAT");
    if (value == nullptr || *value == '\0')
        return std::nullopt;
    for (const CarrierFormat format :
         {CarrierFormat::Classic, CarrierFormat::Sealed, CarrierFormat::Woven})
        if (std::string_view(value) == FormatName(format))
            return format;
    throw UsageError(args.Command(), "LUMORA_FORMAT must be classic, sealed or woven, not '" +
                                         std::string(value) + "'");
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
    return (carrier.MayHoldSealedData() || carrier.MayHoldWovenData()) &&
           (how == SealedTry::Always || password.IsGiven());
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
    source.opened = OpenCarrier(input, progress);
    // Woven data lies inside the picture: there is nothing to cut off.
    if (source.opened->MayHoldWovenData())
        throw ErrorOf(Status::Fail(Reason::WovenCannotStrip, input.Name()));
    CheckTried(*source.opened, input, password, sealed, false);
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
