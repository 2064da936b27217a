// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli strip: the picture a carrier was made from, byte for byte; without a password
// for classic data, with it for sealed data, whose image length only the password opens.
#include "cli/Arguments.h"
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/FileDigest.h"
#include "cli/Json.h"
#include "cli/Password.h"
#include "cli/Report.h"
#include "cli/SaveCarrier.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalProgress.h"
#include "cli/TerminalText.h"

#include <cstdio>

namespace lumora::cli {

int RunStrip(const Arguments& args) {
    if (args.Operands().size() != 1)
        throw UsageError("strip", "strip takes exactly one CARRIER");
    const auto output = args.Value("output");
    if (!output)
        throw UsageError("strip", "strip needs -o IMAGE");
    RequireStdinOnce(args, args.Operands());
    const bool replace = args.Has("force");
    PasswordSource password(args, PasswordUse::Open);
    const CarrierInput carrier(args.Operands()[0]);

    TerminalProgress progress;
    ImagePartSource source = OpenForImagePart(carrier, password, progress, SealedTryOf(args));
    const OutputTarget target("strip", *output, replace);
    ThrowIfFailed(source.SaveImagePart(target.Path(), replace), carrier.Name());
    progress.Clear();
    const std::string digest = Sha256HexOfFile(target.Path());
    target.Finish();
    if (JsonOutput()) {
        PrintJson(JsonObject()
                      .String("file", carrier.Operand())
                      .String("code", InfoOf(Code::Ok).name)
                      .String("output", *output)
                      .String("sha256", digest)
                      .Text());
    } else if (target.ToStdout()) {
        // stdout carries the picture; its digest goes beside it, as sha256sum names stdin.
        if (CurrentVerbosity() != Verbosity::Quiet)
            std::fprintf(stderr, "%s  -\n", digest.c_str());
    } else {
        std::printf("%s  %s\n", digest.c_str(),
                    Shown(*output, TextKind::Name, Stream::Out).c_str());
    }
    return 0;
}

} // namespace lumora::cli
