// SPDX-License-Identifier: GPL-2.0-or-later
// The one-byte logarithmic scale HILL's costs are kept on, from the sums the filters end
// with: each sum is 225 fixed-point values of 1 / xi (2^32 per 1.0), and level L begins at
// the sum 225 * 2^32 * 2^((L - 128.5) / 8), so that it stands for the cost 2^((L - 128) / 8)
// rounded to the nearest eighth of an octave. Levels are clamped to 0..255.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumora::weave {

// The sum at which `level` (1 to 255) begins.
double HillLevelStart(unsigned level);

// The level of each of `count` sums: how many of levels 1 to 255 begin at or below the sum
// (as the nearest double). With AVX2 where the processor has it (platform/VectorLevel.h).
void HillLevelsOfSums(const uint64_t* sums, size_t count, uint8_t* levels);
// The same without vector instructions.
void PortableHillLevelsOfSums(const uint64_t* sums, size_t count, uint8_t* levels);

} // namespace lumora::weave
