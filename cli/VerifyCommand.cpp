// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli verify: checks the password and that every hidden entry decrypts and passes
// its CRC-32 check, without writing any of them.
#include "cli/Arguments.h"
#include "cli/Carrier.h"
#include "cli/Commands.h"
#include "cli/Password.h"
#include "cli/PerCarrier.h"
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
        ThrowIfFailed(session->VerifyAll(entries), carrier.Name());
        progress.Clear();
        CarrierResult result;
        result.entry = CarrierObject(carrier, Code::Ok).Number("entries", entries);
        result.json = result.entry.Text();
        if (!JsonOutput())
            std::printf("%s: intact (%d hidden %s checked)\n",
                        Shown(carrier.Name(), TextKind::Name, Stream::Out).c_str(), entries,
                        entries == 1 ? "entry" : "entries");
        return result;
    });
}

} // namespace lumora::cli
