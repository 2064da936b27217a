// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/Carrier.h"

#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "cli/Interrupt.h"
#include "cli/Password.h"
#include "cli/Report.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalProgress.h"

namespace lumora::cli {

void ThrowIfFailed(const Status& status) {
    switch (status.outcome) {
    case Outcome::Ok:
        return;
    case Outcome::WrongPassword:
        throw CliError(Code::WrongPassword, "wrong password");
    case Outcome::NoData:
        throw CliError(Code::NoData, status.Describe());
    case Outcome::Busy:
        throw CliError(Code::Busy, status.Describe());
    case Outcome::WouldLose:
    case Outcome::Changed:
        throw CliError(Code::NeedsForce, status.Describe() + " (use --force to go on)");
    case Outcome::Cancelled:
        StopIfInterrupted();
        throw Failure("cancelled");
    case Outcome::Damaged:
        throw CliError(Code::Damaged, status.Describe());
    case Outcome::Refused:
    case Outcome::ReadFailed:
    case Outcome::WriteFailed:
    case Outcome::NoMemory:
        break;
    }
    StopIfInterrupted();
    throw Failure(status.Describe());
}

std::unique_ptr<CarrierSession> OpenCarrier(const CarrierInput& input, TerminalProgress& progress) {
    RequireReadableFile(input.Path());
    auto session = std::make_unique<CarrierSession>(input.Path());
    session->SetProgressObserver(&progress);
    ThrowIfFailed(session->Open());
    return session;
}

std::unique_ptr<CarrierSession> UnlockCarrier(const CarrierInput& input, PasswordSource& password,
                                              TerminalProgress& progress, bool lock) {
    auto session = OpenCarrier(input, progress);
    if (!session->HasData())
        throw CliError(Code::NoData, "no hidden data in " + input.Name());
    if (lock)
        ThrowIfFailed(session->Lock());
    for (int attempt = 1;; ++attempt) {
        Status unlocked = session->Unlock(password.Get());
        if (unlocked.outcome == Outcome::WrongPassword && attempt < password.Tries()) {
            password.SayWrong();
            continue;
        }
        if (unlocked.outcome == Outcome::Damaged)
            throw CliError(Code::Damaged, "the hidden data in " + input.Name() +
                                              " is damaged: " + unlocked.Describe());
        ThrowIfFailed(unlocked);
        break;
    }
    Detail("unlocked " + input.Name() + " with the password from " + password.Describe());
    return session;
}

} // namespace lumora::cli
