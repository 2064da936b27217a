// SPDX-License-Identifier: GPL-2.0-or-later
// Which vector instructions the hot loops (the coder, HILL's levels, the keyed orders) may
// use: what the processor has, unless a test or benchmark lowers the ceiling to run the
// narrower loops on this machine as a processor without the wider ones would.
#pragma once

#include <cstdint>

namespace lumora {

enum class VectorLevel : uint8_t { Portable, Avx2, Avx512 };

// The processor's level (AVX-512 counts only with its byte and word instructions), held
// under the ceiling.
VectorLevel UsableVectorLevel();

inline bool CanUseVectors(VectorLevel level) {
    return UsableVectorLevel() >= level;
}

// Holds every loop to at most `ceiling` while it lives, then puts the ceiling back. For
// tests and benchmarks; not for use while another thread runs those loops.
class VectorCeiling {
public:
    explicit VectorCeiling(VectorLevel ceiling);
    ~VectorCeiling();
    VectorCeiling(const VectorCeiling&) = delete;
    VectorCeiling& operator=(const VectorCeiling&) = delete;

private:
    VectorLevel m_before;
};

} // namespace lumora
