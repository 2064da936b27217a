// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli verify: checks the password and that every hidden entry decrypts and passes
// its CRC-32 check, without writing any of them.
#include "cli/Arguments.h"
#include "cli/Carrier.h"
#include "cli/Commands.h"
#include "cli/Password.h"
#include "cli/PerCarrier.h"
#include "cli/ReasonText.h"
#include "cli/Report.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalProgress.h"
#include "cli/TerminalText.h"
#include "cli/Threads.h"

#include <cstdio>

namespace lumora::cli {

int RunVerify(const Arguments& args) {
    const int threads = ThreadsOf(args);
    PasswordSource password(args, PasswordUse::Open);
    return ForEachCarrier(args, [&](const CarrierInput& carrier, bool) {
        TerminalProgress progress;
        auto session = UnlockCarrier(carrier, password, progress, SealedTryOf(args), threads);
        int entries = 0;
        const Status verified = session->VerifyAll(entries);
        // Damage found with the password proved: every damaged part is named.
        if (verified.Outcome() != Outcome::Damaged || !session->IsUnlocked())
            ThrowIfFailed(verified, carrier.Name());
        progress.Clear();
        const std::vector<std::string> damaged = DamagedFiles(*session);
        const bool messageDamaged = session->GetMessageState() == MessageState::Damaged;
        const bool message = session->GetMessageState() != MessageState::None;
        const size_t files = session->Entries().size();
        CarrierResult result;
        result.code = verified.Ok() ? Code::Ok : Code::Damaged;
        result.entry = CarrierObject(carrier, result.code)
                           .Number("files", static_cast<int64_t>(files))
                           .Bool("message", message)
                           .Raw("damaged", JsonStrings(damaged))
                           .Bool("messageDamaged", messageDamaged);
        if (!verified.Ok()) {
            AddFailure(result.entry, verified.reason, ReasonText(verified, carrier.Name()));
            Warn(ReasonText(verified, carrier.Name()));
        }
        if (JsonOutput())
            return result;
        const std::string name = Shown(carrier.Name(), TextKind::Name, Stream::Out);
        if (verified.Ok()) {
            std::printf("%s: intact (%zu hidden %s%s checked)\n", name.c_str(), files,
                        files == 1 ? "file" : "files", message ? " and the message" : "");
            return result;
        }
        std::printf("%s: damaged:\n", name.c_str());
        if (messageDamaged)
            std::printf("  the hidden message\n");
        for (const std::string& part : damaged)
            std::printf("  %s\n", Shown(part, TextKind::Name, Stream::Out).c_str());
        return result;
    });
}

} // namespace lumora::cli
