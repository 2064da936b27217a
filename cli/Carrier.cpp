// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/Carrier.h"

#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "cli/Interrupt.h"
#include "cli/Password.h"
#include "cli/TerminalProgress.h"

namespace lumora::cli {

void ThrowIfFailed(const Status& status) {
    switch (status.outcome) {
    case Outcome::Ok:
        return;
    case Outcome::WrongPassword:
        throw CliError(Exit::WrongPassword, "wrong password");
    case Outcome::NoData:
        throw CliError(Exit::NoData, status.Describe());
    case Outcome::Busy:
        throw CliError(Exit::Busy, status.Describe());
    case Outcome::WouldLose:
    case Outcome::Changed:
        throw CliError(Exit::NeedsForce, status.Describe() + " (use --force to go on)");
    case Outcome::Cancelled:
        StopIfInterrupted();
        throw Failure("cancelled");
    case Outcome::Damaged:
    case Outcome::Refused:
    case Outcome::ReadFailed:
    case Outcome::WriteFailed:
    case Outcome::NoMemory:
        break;
    }
    StopIfInterrupted();
    throw Failure(status.Describe());
}

std::unique_ptr<CarrierSession> OpenCarrier(const std::string& path, TerminalProgress& progress) {
    RequireReadableFile(path);
    auto session = std::make_unique<CarrierSession>(path);
    session->SetProgressObserver(&progress);
    ThrowIfFailed(session->Open());
    return session;
}

std::unique_ptr<CarrierSession> UnlockCarrier(const std::string& command, const std::string& path,
                                              const std::optional<std::string>& passwordFile,
                                              TerminalProgress& progress, bool lock) {
    auto session = OpenCarrier(path, progress);
    if (!session->HasData())
        throw CliError(Exit::NoData, "no hidden data in " + path);
    if (lock)
        ThrowIfFailed(session->Lock());
    std::string typed = ObtainPassword(command, passwordFile, PasswordUse::Open);
    Status unlocked = session->Unlock(Password::Take(typed));
    if (unlocked.outcome == Outcome::Damaged)
        throw Failure("the hidden data in " + path + " is damaged: " + unlocked.Describe());
    ThrowIfFailed(unlocked);
    return session;
}

} // namespace lumora::cli
