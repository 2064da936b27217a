// SPDX-License-Identifier: GPL-2.0-or-later
// Two columns of the forward pass in one sweep over the state vectors. When the two
// columns' partner offsets a and b (column >> the vector's lane bits) are non-zero and
// differ, the states of vectors v, v ^ a, v ^ b and v ^ a ^ b are all the two columns need
// for those four vectors, so each is loaded and stored once for both. The four (a coset)
// are named by their member whose bits at the pivots (a's leading bit, and that of b once
// a is taken out of it) are 0.
#pragma once

#include "weave/TrellisForward.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumora::weave {

struct ColumnPair {
    bool independent = false;
    unsigned a = 0;
    unsigned b = 0;
    unsigned pivots = 0; // their bits
};

inline unsigned LeadingBit(unsigned value) {
    return 31u - static_cast<unsigned>(__builtin_clz(value));
}

inline ColumnPair PairOf(unsigned first, unsigned second, unsigned laneBits) {
    ColumnPair pair{false, first >> laneBits, second >> laneBits, 0};
    if (pair.a == 0 || pair.b == 0 || pair.a == pair.b)
        return pair;
    const unsigned pivot = LeadingBit(pair.a);
    const unsigned rest = (pair.b >> pivot) & 1 ? pair.b ^ pair.a : pair.b;
    pair.pivots = 1u << pivot | 1u << LeadingBit(rest);
    pair.independent = true;
    return pair;
}

// Cosets are visited by name from 0: every vector whose pivot bits are 0 names one, and
// this gives the next name (the count of vectors or more after the last).
inline unsigned NextCoset(const ColumnPair& pair, unsigned named) {
    return ((named | pair.pivots) + 1) & ~pair.pivots;
}

inline void CosetVectors(const ColumnPair& pair, unsigned named, unsigned (&vectors)[4]) {
    vectors[0] = named;
    vectors[1] = named ^ pair.a;
    vectors[2] = named ^ pair.b;
    vectors[3] = named ^ pair.a ^ pair.b;
}

// A vector pass's ways of running columns: two in one sweep, one alone, and a block's first
// (touching the block's last row) alone or with the next (none: always alone), straight
// from the states before the row is dropped. Each table is indexed by the columns'
// parities (the first's in bit 0), then by whether each column has the pass's variant bit
// (a column word bit that picks a variant of the sweep; 0 when the pass has none), the
// first column's above the parities.
using PairPass = void (*)(const int16_t* from, int16_t* to, const ColumnPair& pair,
                          const ForwardColumns& columns, size_t i);
using SinglePass = void (*)(const int16_t* from, int16_t* to, unsigned column, int16_t cost,
                            uint32_t* path);
using FirstPairPass = void (*)(const int16_t* from, int16_t* to, bool bit, const ColumnPair& pair,
                               const ForwardColumns& block);
using FirstSinglePass = void (*)(const int16_t* from, int16_t* to, bool bit,
                                 const ForwardColumns& block);

struct PairedPasses {
    unsigned laneBits;   // a vector holds 2^laneBits states
    unsigned variantBit; // the column word bit that picks a variant, or 0
    std::array<PairPass, 16> pair;
    std::array<SinglePass, 4> single;
    std::array<FirstPairPass, 16> firstPair;
    std::array<FirstSinglePass, 4> firstSingle;
};

// ColumnsPass and BlockStartPass in pairs of columns where they are independent.
int16_t* RunInPairs(int16_t* from, int16_t* spare, const ForwardColumns& columns,
                    const PairedPasses& passes);
int16_t* StartBlockInPairs(int16_t* from, int16_t* spare, bool bit, const ForwardColumns& block,
                           const PairedPasses& passes);

} // namespace lumora::weave
