// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/Carrier.h"

#include "archive/EntryName.h"
#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "cli/Interrupt.h"
#include "cli/Password.h"
#include "cli/SafeOutput.h"
#include "cli/TerminalProgress.h"
#include "engine/EngineErrors.h"

#include <algorithm>
#include <filesystem>

namespace lumora::cli {
namespace {

bool HasCheckRecord(const CarrierTrailer& trailer) {
    return std::any_of(std::begin(trailer.checkRecord), std::end(trailer.checkRecord),
                       [](uint8_t b) { return b != 0; });
}

// UnpackPayload also fails for a payload whose archive has no entry at all: a carrier
// saved with neither message nor files. Its archive did decrypt, so it is not empty.
bool IsEmptyPayload(const CBindImage& engine) {
    const auto& trailer = engine.Trailer();
    if (trailer.fileCount != 0 || trailer.messageLength != 0)
        return false;
    std::error_code ec;
    auto size = std::filesystem::file_size(engine.PayloadTempPath(), ec);
    return !ec && size > 0;
}

// The key is made of a password's first 32 bytes, while the archive entries are encrypted
// under the whole password. So with an all-zero check record, a wrong password that only
// shares those 32 bytes deciphers the payload and then cannot open a single entry.
void ProbeEntryPassword(CBindImage& engine) {
    const auto& trailer = engine.Trailer();
    if (trailer.messageLength > 0) {
        if (!engine.Message())
            throw CliError(Exit::WrongPassword, "wrong password");
        return;
    }
    auto files = ListHiddenFiles(engine);
    // Entries that are never written out are no use as a probe.
    std::erase_if(files, [](const HiddenFile& file) { return !IsSafeEntryName(file.name); });
    auto smallest = std::min_element(files.begin(), files.end(),
                                     [](const auto& a, const auto& b) { return a.size < b.size; });
    if (smallest == files.end())
        return;
    std::string copy;
    if (engine.ExtractHiddenFile(smallest->slot, copy) != 1) {
        StopIfInterrupted();
        if (engine.LastError() == kDamagedPayload)
            throw CliError(Exit::WrongPassword, "wrong password");
        throw Failure(EngineReason(engine, "cannot extract " + smallest->name));
    }
    std::error_code ec;
    std::filesystem::remove(copy, ec);
}

} // namespace

std::unique_ptr<CBindImage> NewEngine(TerminalProgress& progress) {
    auto engine = std::make_unique<CBindImage>();
    engine->SetProgressObserver(&progress);
    return engine;
}

std::unique_ptr<CBindImage> InspectCarrier(const std::string& path, TerminalProgress& progress) {
    RequireReadableFile(path);
    auto engine = NewEngine(progress);
    engine->OpenCarrier(path, OPEN_INSPECT);
    return engine;
}

bool CarriesHiddenData(const CBindImage& engine) {
    return engine.HasValidTrailer() == 1 && engine.Trailer().payloadLength > 0 &&
           engine.Trailer().imageLength >= 0;
}

UnlockedCarrier UnlockCarrier(const std::string& command, const std::string& path,
                              const std::optional<std::string>& passwordFile,
                              TerminalProgress& progress) {
    UnlockedCarrier carrier{InspectCarrier(path, progress), std::string()};
    CBindImage& engine = *carrier.engine;
    if (!CarriesHiddenData(engine))
        throw CliError(Exit::NoData, "no hidden data in " + path);

    carrier.password = ObtainPassword(command, passwordFile, PasswordUse::Open);
    if (engine.VerifyPassword(carrier.password) != 1)
        throw CliError(Exit::WrongPassword, "wrong password");
    engine.SetPassword(carrier.password);

    if (engine.UnpackPayload() != 1) {
        StopIfInterrupted();
        if (!IsEmptyPayload(engine)) {
            // An all-zero check record accepts every password, so only the payload itself
            // tells a wrong one; a check record that matched means the data is damaged.
            if (!HasCheckRecord(engine.Trailer()))
                throw CliError(Exit::WrongPassword, "wrong password");
            throw Failure(EngineReason(engine, "the hidden data in " + path + " is damaged"));
        }
    } else if (!HasCheckRecord(engine.Trailer())) {
        ProbeEntryPassword(engine);
    }
    if (engine.SplitImagePart() != 1) {
        StopIfInterrupted();
        throw Failure(EngineReason(engine, "cannot read " + path));
    }
    return carrier;
}

std::vector<HiddenFile> ListHiddenFiles(const CBindImage& engine) {
    std::vector<HiddenFile> files;
    FileSlot slot;
    for (int k = engine.FirstFileSlot(slot); k >= 0; k = engine.NextFileSlot(slot, k))
        files.push_back({k, slot.name, slot.size});
    return files;
}

std::string EngineReason(const CBindImage& engine, const std::string& fallback) {
    return engine.LastError().empty() ? fallback : engine.LastError();
}

} // namespace lumora::cli
