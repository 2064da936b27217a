// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli verify: checks the password and that every hidden entry decrypts and passes
// its CRC-32 check, without writing any of them.
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/TerminalProgress.h"

#include <cstdio>

namespace lumora::cli {

int RunVerify(const Args& args) {
    auto arguments = ParseCommand("verify", {PasswordFileOption()}, args);
    if (!arguments)
        return 0;
    if (arguments->Operands().size() != 1)
        throw UsageError("verify", "verify takes exactly one CARRIER");
    const std::string& path = arguments->Operands()[0];

    TerminalProgress progress;
    auto session = UnlockCarrier("verify", path, arguments->Value("password-file"), progress);
    int entries = 0;
    Status verified = session->VerifyAll(entries);
    if (verified.outcome == Outcome::Damaged)
        throw Failure("the hidden data in " + path + " is damaged: " + verified.Describe());
    ThrowIfFailed(verified);
    progress.Clear();
    std::printf("%s: intact (%d hidden %s checked)\n", path.c_str(), entries,
                entries == 1 ? "entry" : "entries");
    return 0;
}

} // namespace lumora::cli
