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

namespace lumora::cli {
namespace {

// Opens the carrier and, for a file without classic data, unlocks it as sealed or throws
// no-data; classic data is left locked.
std::unique_ptr<CarrierSession> OpenAndUnlockSealed(const CarrierInput& input,
                                                    PasswordSource& password,
                                                    TerminalProgress& progress, SealedTry sealed,
                                                    int threads, bool lock) {
    auto session = OpenCarrier(input, progress);
    session->SetWorkerThreads(threads);
    if (!session->HasData()) {
        if (!session->MayHoldSealedData())
            throw ErrorOf(Status::Fail(Reason::NoData), input.Name());
        if (!TriesSealed(*session, password, sealed))
            throw ErrorOf(Status::Fail(Reason::SealedNotTried), input.Name());
    }
    if (lock)
        ThrowIfFailed(session->Lock(), input.Name());
    if (!session->HasData()) {
        ThrowIfFailed(UnlockWithTries(*session, password), input.Name());
        Detail("unlocked the sealed data of " + input.Name() + " with the password from " +
               password.Describe());
    }
    return session;
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

void ThrowIfFailed(const Status& status, const std::string& carrier) {
    if (status.Ok())
        return;
    // A signal ends the command as "interrupted", whatever the engine made of it.
    StopIfInterrupted();
    throw ErrorOf(status, carrier);
}

std::unique_ptr<CarrierSession> OpenCarrier(const CarrierInput& input, TerminalProgress& progress) {
    RequireReadableFile(input.Path());
    auto session = std::make_unique<CarrierSession>(input.Path());
    session->SetProgressObserver(&progress);
    // A command ends soon: nothing of the hidden data needs a copy in the working folder.
    session->SetReadFromCarrier(true);
    ThrowIfFailed(session->Open(), input.Name());
    return session;
}

bool TriesSealed(const CarrierSession& session, const PasswordSource& password, SealedTry how) {
    return !session.HasData() && session.MayHoldSealedData() &&
           (how == SealedTry::Always || password.IsGiven());
}

Status UnlockWithTries(CarrierSession& session, PasswordSource& password, ProofTiming proof) {
    // A password that does not open sealed data reads like no data at all; that is the
    // outcome a prompt asks again for.
    const bool sealed = !session.HasData();
    const Reason tryAgain = sealed ? Reason::SealedNotOpened : Reason::WrongPassword;
    for (int attempt = 1;; ++attempt) {
        Status unlocked = session.Unlock(password.Get(), proof);
        if (unlocked.reason != tryAgain || attempt >= password.Tries())
            return unlocked;
        password.SayWrong(sealed);
    }
}

std::unique_ptr<CarrierSession> UnlockCarrier(const CarrierInput& input, PasswordSource& password,
                                              TerminalProgress& progress, SealedTry sealed,
                                              int threads, bool lock, ProofTiming proof) {
    auto session = OpenAndUnlockSealed(input, password, progress, sealed, threads, lock);
    if (!session->IsUnlocked()) {
        ThrowIfFailed(UnlockWithTries(*session, password, proof), input.Name());
        // A proof left to the first read can still find the password wrong.
        if (session->PasswordProved())
            Detail("unlocked " + input.Name() + " with the password from " + password.Describe());
        else
            Detail("opened " + input.Name() + " with the password from " + password.Describe() +
                   "; reading the files will prove it");
    }
    return session;
}

std::unique_ptr<CarrierSession> OpenForImagePart(const CarrierInput& input,
                                                 PasswordSource& password,
                                                 TerminalProgress& progress, SealedTry sealed) {
    return OpenAndUnlockSealed(input, password, progress, sealed, 0, false);
}

} // namespace lumora::cli
