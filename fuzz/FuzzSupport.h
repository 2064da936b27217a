// SPDX-License-Identifier: GPL-2.0-or-later
// What every fuzz target shares: one temporary folder per process, used as the
// program's folder (so the engine's working folders land below it and vanish with it),
// and helpers that turn the fuzz input into files there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumora::fuzz {

// The password under which the carrier targets open and write carriers, and the one
// the seed corpus uses for "zip -P".
inline constexpr const char* kPassword = "fuzz";

// The process's temporary folder, below $LUMORA_FUZZ_TMP when set, else on /dev/shm when
// possible (the engine syncs what it saves), else in $TMPDIR or /tmp; created on first use and
// removed with everything in it when the process ends. It is also set as the program folder, so the
// engine's cache lives below it.
const std::string& ScratchFolder();

// ScratchFolder() + "/" + name.
std::string ScratchPath(const std::string& name);

// Writes size bytes to the file name in the scratch folder and returns its path.
std::string WriteInput(const std::string& name, const uint8_t* data, size_t size);

// Removes a file or a folder tree below the scratch folder.
void RemovePath(const std::string& path);

// Aborts when the engine's cache still holds a working folder: every CBindImage must
// remove its own when destroyed.
void RequireEmptyCache();

} // namespace lumora::fuzz
