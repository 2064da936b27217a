// SPDX-License-Identifier: GPL-2.0-or-later
// Inputs of the benchmarks: a scratch folder that is removed at exit and deterministic
// file contents, half text-like and half random; the choice of the AES path and of the
// vector instructions a run may use; and the peak memory a piece of work adds.
#pragma once

#include "platform/VectorLevel.h"

#include <benchmark/benchmark.h>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumora::bench {

constexpr size_t kMiB = 1024 * 1024;
constexpr size_t kLargeFileSize = 64 * kMiB;

// A folder of its own under TMPDIR (or /tmp), made on first use.
const std::string& ScratchFolder();

// Bytes that look like words and lines, and bytes from a fixed pseudo-random sequence.
std::vector<unsigned char> TextLikeBytes(size_t n, uint32_t seed);
std::vector<unsigned char> RandomBytes(size_t n, uint32_t seed);

// Writes bytes to path, replacing it.
void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes);

// A 64 MiB file, half text-like and half random, written once per run.
const std::string& LargeInputFile();

// Argument 0 of state picks the table path, 1 the AES instructions; false (and the run
// skipped) when the processor has none. RestoreAesPath() puts the default back.
bool ChooseAesPath(benchmark::State& state);
void RestoreAesPath();

// Argument 0 of state picks the vector instructions the run may use, as on a processor that
// has no wider ones: 0 none (portable), 1 AVX2, 2 AVX-512. While `ceiling` lives every
// vector loop is held to them: the coder's forward pass, HILL's levels, the keyed orders.
// False (and the run skipped) when the processor lacks them. Labels the run.
bool ChooseVectorLevel(benchmark::State& state, std::optional<VectorCeiling>& ceiling);

// A /proc/self/status field in KiB (VmRSS, VmHWM); -1 when it cannot be read.
long StatusKiB(const std::string& field);

// Returns freed memory to the system and resets the process's peak resident set (writing 5
// to /proc/self/clear_refs); false when it cannot.
bool ResetPeakMemory();

// Runs work once and reports the peak resident memory it added in MiB; -1 when the peak
// cannot be reset.
template <typename Work> double PeakMiBAddedBy(Work&& work) {
    if (!ResetPeakMemory())
        return -1;
    const long before = StatusKiB("VmRSS");
    // Only the memory counts here; the timed runs check what the work gives.
    static_cast<void>(work());
    return static_cast<double>(StatusKiB("VmHWM") - before) / 1024.0;
}

} // namespace lumora::bench
