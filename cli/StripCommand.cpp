// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli strip: the picture a carrier was made from, byte for byte, without a password.
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/FileDigest.h"
#include "cli/Interrupt.h"
#include "cli/SafeOutput.h"
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
    auto engine = InspectCarrier(path, progress);
    if (!CarriesHiddenData(*engine))
        throw CliError(Exit::NoData, "no hidden data in " + path);
    // imageLength 0 would make every reader take the whole file as the picture.
    if (engine->Trailer().imageLength <= 0)
        throw Failure(path + " has no image part");
    RequireNewOutput(*output, arguments->Has("force"));
    if (engine->SplitImagePart() != 1) {
        StopIfInterrupted();
        throw Failure(EngineReason(*engine, "cannot read " + path));
    }
    progress.Clear();
    std::string digest = Sha256HexOfFile(engine->ImageTempPath());
    PlaceFile(engine->ImageTempPath(), *output, arguments->Has("force"));
    std::printf("%s  %s\n", digest.c_str(), output->c_str());
    return 0;
}

} // namespace lumora::cli
