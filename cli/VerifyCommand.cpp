// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli verify: checks the password and that every hidden entry decrypts and passes
// its CRC-32 check. Entries are written only into the engine's working folder, one at a
// time, and removed again at once.
#include "archive/Unzipper.h"
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/TerminalProgress.h"

#include <cstdio>

namespace lumora::cli {
namespace {

// The number of entries checked; throws for the first one that fails.
int CheckEveryEntry(CBindImage& engine, const std::string& password, const std::string& path) {
    const std::string damaged = "the hidden data in " + path + " is damaged";
    CUnzipper archive;
    if (!archive.Open(engine.PayloadTempPath()))
        throw Failure(damaged);
    Password zipPassword(password);
    archive.SetPassword(&zipPassword);
    const std::string folder = engine.WorkDir() + "/verify";
    int count = archive.EntryCount();
    for (int i = 0; i < count; ++i) {
        StopIfInterrupted();
        ZipEntryInfo info;
        if (!archive.EntryInfoAt(i, info))
            throw Failure(damaged);
        bool intact = info.isFolder || archive.ExtractEntryAt(i, folder) == 1;
        CBindImage::RemoveFolderTree(folder);
        StopIfInterrupted();
        if (!intact)
            throw Failure(damaged + ": \"" + info.name + "\" fails its check");
    }
    return count;
}

} // namespace

int RunVerify(const Args& args) {
    auto arguments = ParseCommand("verify", {PasswordFileOption()}, args);
    if (!arguments)
        return 0;
    if (arguments->Operands().size() != 1)
        throw UsageError("verify", "verify takes exactly one CARRIER");
    const std::string& path = arguments->Operands()[0];

    TerminalProgress progress;
    auto carrier = UnlockCarrier("verify", path, arguments->Value("password-file"), progress);
    int entries = CheckEveryEntry(*carrier.engine, carrier.password, path);
    progress.Clear();
    std::printf("%s: intact (%d hidden %s checked)\n", path.c_str(), entries,
                entries == 1 ? "entry" : "entries");
    return 0;
}

} // namespace lumora::cli
