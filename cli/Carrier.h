// SPDX-License-Identifier: GPL-2.0-or-later
// Opening carriers with CBindImage the way the desktop program's reveal view does, and
// turning the engine's int statuses into CliErrors with the right exit status.
#pragma once

#include "engine/BindImage.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumora::cli {

class TerminalProgress;

struct HiddenFile {
    int slot = -1;
    std::string name; // entry name, "/" between sub-folders
    int64_t size = 0;
};

// A new engine object that reports to `progress`.
std::unique_ptr<CBindImage> NewEngine(TerminalProgress& progress);

// Opens `path` with OPEN_INSPECT: only the trailer is read. Throws for unreadable files.
std::unique_ptr<CBindImage> InspectCarrier(const std::string& path, TerminalProgress& progress);

// True when the inspected file carries a payload this program can read.
bool CarriesHiddenData(const CBindImage& engine);

// An inspected carrier after the password was accepted and the payload unpacked.
struct UnlockedCarrier {
    std::unique_ptr<CBindImage> engine;
    std::string password;
};

// The reveal sequence: inspect, check for hidden data (exit 4), obtain the password,
// VerifyPassword (exit 3), SetPassword, UnpackPayload, SplitImagePart.
UnlockedCarrier UnlockCarrier(const std::string& command, const std::string& path,
                              const std::optional<std::string>& passwordFile,
                              TerminalProgress& progress);

// The listed slots, in slot order.
std::vector<HiddenFile> ListHiddenFiles(const CBindImage& engine);

// The engine's reason for its last failure, or `fallback` when it gave none.
std::string EngineReason(const CBindImage& engine, const std::string& fallback);

} // namespace lumora::cli
