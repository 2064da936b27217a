// SPDX-License-Identifier: GPL-2.0-or-later
// Two columns of the forward pass in one sweep over the state vectors. When the two
// columns' partner offsets a and b (column >> the vector's lane bits) are non-zero and
// differ, the states of vectors v, v ^ a, v ^ b and v ^ a ^ b are all the two columns need
// for those four vectors, so each is loaded and stored once for both. The four (a coset)
// are named by their member whose bits at the pivots (a's leading bit, and that of b once
// a is taken out of it) are 0.
#pragma once

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

template <unsigned LaneBits> inline ColumnPair PairOf(unsigned first, unsigned second) {
    ColumnPair pair{false, first >> LaneBits, second >> LaneBits, 0};
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

} // namespace lumora::weave
