// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli strip: the picture a carrier was made from, byte for byte, without a password.
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/FileDigest.h"
#include "cli/SaveCarrier.h"
#include "cli/TerminalProgress.h"

#include <cstdio>

namespace lumora::cli {

int RunStrip(const Args& args) {
    auto arguments = ParseCommand("strip", {{"output", 'o', true}, {"force", 0, false}}, args);
    if (!arguments)
        return 0;
    if (arguments->Operands().size() != 1)
        throw UsageError("strip", "strip takes exactly one CARRIER");
    auto output = arguments->Value("output");
    if (!output)
        throw UsageError("strip", "strip needs -o IMAGE");
    const std::string& path = arguments->Operands()[0];

    TerminalProgress progress;
    auto session = OpenCarrier(path, progress);
    if (!session->HasData())
        throw CliError(Exit::NoData, "no hidden data in " + path);
    const bool replace = arguments->Has("force");
    RequireNewOutput(*output, replace);
    ThrowIfFailed(session->SaveImagePart(*output, replace));
    progress.Clear();
    std::printf("%s  %s\n", Sha256HexOfFile(*output).c_str(), output->c_str());
    return 0;
}

} // namespace lumora::cli
