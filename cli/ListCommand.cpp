// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli list: the hidden files and their sizes.
#include "cli/Arguments.h"
#include "cli/Carrier.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Password.h"
#include "cli/PerCarrier.h"
#include "cli/Report.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalProgress.h"
#include "cli/TerminalText.h"

#include <cstdio>

namespace lumora::cli {

int RunList(const Arguments& args) {
    PasswordSource password(args, PasswordUse::Open);
    bool first = true;
    return ForEachCarrier(args, [&](const CarrierInput& carrier, bool several) {
        TerminalProgress progress;
        auto session = UnlockCarrier(carrier, password, progress, SealedTryOf(args), 0);
        progress.Clear();
        CarrierResult result;
        result.entry =
            CarrierObject(carrier, Code::Ok).Raw("entries", EntriesJson(session->Entries()));
        if (JsonOutput())
            return result;
        if (several)
            std::printf("%s%s:\n", first ? "" : "\n",
                        Shown(carrier.Name(), TextKind::Name, Stream::Out).c_str());
        first = false;
        for (const HiddenEntry& file : session->Entries())
            std::printf("%12s  %s%s\n", SizeText(file.size).c_str(),
                        Shown(file.name, TextKind::Name, Stream::Out).c_str(),
                        file.damaged ? "  (damaged)" : "");
        return result;
    });
}

} // namespace lumora::cli
