// SPDX-License-Identifier: GPL-2.0-or-later
// The forward pass with AVX-512: sixteen states to a register, state s in lane s & 15 of
// vector s >> 4, so the partner s ^ c of a column c lies in vector (s >> 4) ^ (c >> 4) at
// lane (s & 15) ^ (c & 15). A comparison yields a mask of sixteen path bits, stored as it
// is (PathLayout::StateBits). The arithmetic is the portable pass's: flip < keep on the
// floats' bit patterns, the minimum the operand it picks.
#include "weave/TrellisForward.h"

#include "platform/VectorIntrinsics.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__x86_64__)
#define LUMORA_WEAVE_AVX512 1
#endif

namespace lumora::weave {

#ifdef LUMORA_WEAVE_AVX512
namespace {

constexpr unsigned kVectors = kTrellisStates / 16;

__attribute__((target("avx512f"), always_inline)) inline __m512i PartnerLanes(unsigned column) {
    return _mm512_xor_si512(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                            _mm512_set1_epi32(static_cast<int>(column & 15)));
}

// One column on one vector of states: returns the new costs of the states in `own`, whose
// partners are in `partners`, and stores their path bits.
template <bool ParityOne>
__attribute__((target("avx512f"), always_inline)) inline __m512
Avx512Step(__m512 own, __m512 partners, __m512i lanes, __m512 add, uint32_t* path, unsigned v) {
    const __m512 partner = _mm512_permutexvar_ps(lanes, partners);
    const __m512 keep = ParityOne ? _mm512_add_ps(own, add) : own;
    const __m512 flip = ParityOne ? partner : _mm512_add_ps(partner, add);
    const uint16_t flipped =
        _mm512_cmpgt_epi32_mask(_mm512_castps_si512(keep), _mm512_castps_si512(flip));
    std::memcpy(reinterpret_cast<char*>(path) + 2 * v, &flipped, sizeof flipped);
    return _mm512_min_ps(flip, keep);
}

template <bool ParityOne>
__attribute__((target("avx512f"))) void Avx512Column(const float* from, float* to, unsigned column,
                                                     float cost, uint32_t* path) {
    const unsigned high = column >> 4;
    const __m512i lanes = PartnerLanes(column);
    const __m512 add = _mm512_set1_ps(cost);
    for (unsigned v = 0; v < kVectors; ++v)
        _mm512_storeu_ps(to + 16 * v, Avx512Step<ParityOne>(_mm512_loadu_ps(from + 16 * v),
                                                            _mm512_loadu_ps(from + 16 * (v ^ high)),
                                                            lanes, add, path, v));
}

// Two columns in one sweep. When their partner offsets a and b (column >> 4) are non-zero
// and differ, the states of vectors v, v ^ a, v ^ b and v ^ a ^ b are all the two columns
// need for those four vectors, so each is loaded and stored once for both. The four are
// named by their member whose bits at the pivots (a's leading bit, and that of b once a is
// taken out of it) are 0.
struct ColumnPair {
    bool independent = false;
    unsigned a = 0;
    unsigned b = 0;
    unsigned pivots = 0; // their bits
};

inline unsigned LeadingBit(unsigned value) {
    return 31u - static_cast<unsigned>(__builtin_clz(value));
}

inline ColumnPair PairOf(unsigned first, unsigned second) {
    ColumnPair pair{false, first >> 4, second >> 4, 0};
    if (pair.a == 0 || pair.b == 0 || pair.a == pair.b)
        return pair;
    const unsigned pivot = LeadingBit(pair.a);
    const unsigned rest = (pair.b >> pivot) & 1 ? pair.b ^ pair.a : pair.b;
    pair.pivots = 1u << pivot | 1u << LeadingBit(rest);
    pair.independent = true;
    return pair;
}

// Column `Column` of a pair on the four vectors (a, b members 1, 2), in place.
template <unsigned Column, bool ParityOne>
__attribute__((target("avx512f"), always_inline)) inline void
Avx512Sweep(__m512 (&states)[4], __m512i lanes, __m512 add, uint32_t* path,
            const unsigned (&vectors)[4]) {
    __m512 next[4];
#pragma GCC unroll 4
    for (unsigned m = 0; m < 4; ++m)
        next[m] = Avx512Step<ParityOne>(states[m], states[m ^ (Column + 1)], lanes, add, path,
                                        vectors[m]);
#pragma GCC unroll 4
    for (unsigned m = 0; m < 4; ++m)
        states[m] = next[m];
}

// The two columns of a pair from column i on, in registers.
struct PairColumns {
    __m512i lanes[2];
    __m512 add[2];
    uint32_t* path[2];
};

__attribute__((target("avx512f"), always_inline)) inline PairColumns
PairColumnsAt(const ForwardColumns& columns, size_t i) {
    PairColumns pair;
    for (size_t j = 0; j < 2; ++j) {
        pair.lanes[j] = PartnerLanes(columns.columns[i + j]);
        pair.add[j] = _mm512_set1_ps(columns.costs[i + j]);
        pair.path[j] = columns.path + (i + j) * kPathWordsPerColumn;
    }
    return pair;
}

// The four vectors of each coset in turn: every vector whose pivot bits are 0 names one.
template <typename Visit>
__attribute__((target("avx512f"), always_inline)) inline void ForEachCoset(const ColumnPair& pair,
                                                                           Visit&& visit) {
    for (unsigned named = 0; named < kVectors; named = ((named | pair.pivots) + 1) & ~pair.pivots) {
        const unsigned vectors[4] = {named, named ^ pair.a, named ^ pair.b,
                                     named ^ pair.a ^ pair.b};
        visit(vectors);
    }
}

__attribute__((target("avx512f"), always_inline)) inline void
StoreCoset(float* to, const __m512 (&states)[4], const unsigned (&vectors)[4]) {
#pragma GCC unroll 4
    for (unsigned m = 0; m < 4; ++m)
        _mm512_storeu_ps(to + 16 * vectors[m], states[m]);
}

template <bool ParityOne, bool NextParityOne>
__attribute__((target("avx512f"))) void Avx512Pair(const float* from, float* to,
                                                   const ColumnPair& pair,
                                                   const ForwardColumns& columns, size_t i) {
    const PairColumns c = PairColumnsAt(columns, i);
    ForEachCoset(
        pair, [&](const unsigned(&vectors)[4]) __attribute__((target("avx512f"), always_inline)) {
            __m512 states[4];
#pragma GCC unroll 4
            for (unsigned m = 0; m < 4; ++m)
                states[m] = _mm512_loadu_ps(from + 16 * vectors[m]);
            Avx512Sweep<0, ParityOne>(states, c.lanes[0], c.add[0], c.path[0], vectors);
            Avx512Sweep<1, NextParityOne>(states, c.lanes[1], c.add[1], c.path[1], vectors);
            StoreCoset(to, states, vectors);
        });
}

using PairPass = void (*)(const float*, float*, const ColumnPair&, const ForwardColumns&, size_t);
// Avx512Pair for the two columns' parities, the first's in bit 0.
constexpr PairPass kPairPasses[4] = {Avx512Pair<false, false>, Avx512Pair<true, false>,
                                     Avx512Pair<false, true>, Avx512Pair<true, true>};

inline unsigned PairParities(const ForwardColumns& columns, size_t i) {
    return (columns.parities[i] != 0 ? 1u : 0u) | (columns.parities[i + 1] != 0 ? 2u : 0u);
}

__attribute__((target("avx512f"))) float* Avx512Run(float* from, float* spare,
                                                    const ForwardColumns& columns) {
    size_t i = 0;
    while (i < columns.count) {
        const ColumnPair pair = i + 1 < columns.count
                                    ? PairOf(columns.columns[i], columns.columns[i + 1])
                                    : ColumnPair{};
        if (pair.independent) {
            kPairPasses[PairParities(columns, i)](from, spare, pair, columns, i);
            i += 2;
        } else {
            uint32_t* path = columns.path + i * kPathWordsPerColumn;
            columns.parities[i] != 0
                ? Avx512Column<true>(from, spare, columns.columns[i], columns.costs[i], path)
                : Avx512Column<false>(from, spare, columns.columns[i], columns.costs[i], path);
            i += 1;
        }
        std::swap(from, spare);
    }
    return from;
}

// The surviving half of the states, s -> s >> 1 for s whose lowest bit is `bit`, of vector v
// (below kVectors / 2): sixteen states out of a pair of vectors.
__attribute__((target("avx512f"), always_inline)) inline __m512
ShiftedVector(const float* from, __m512i pick, unsigned v) {
    return _mm512_permutex2var_ps(_mm512_loadu_ps(from + 32 * v), pick,
                                  _mm512_loadu_ps(from + 32 * v + 16));
}

__attribute__((target("avx512f"), always_inline)) inline __m512i ShiftPick(bool bit) {
    return _mm512_add_epi32(
        _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30),
        _mm512_set1_epi32(bit ? 1 : 0));
}

// A first column that touches the block's last row (bit 9: every column but the cut ones at
// a segment's end) pairs each lower state with an upper one after the row is dropped, and
// the upper half is unreachable. So a lower state can only keep and an upper one only flip:
// no comparison, no minimum, and path bits of 0 below and 1 above.
template <bool ParityOne>
__attribute__((target("avx512f"), always_inline)) inline __m512 KeptBelow(__m512 shifted,
                                                                          __m512 add) {
    return ParityOne ? _mm512_add_ps(shifted, add) : shifted;
}
template <bool ParityOne>
__attribute__((target("avx512f"), always_inline)) inline __m512
FlippedAbove(__m512 partnerShifted, __m512i lanes, __m512 add) {
    const __m512 partner = _mm512_permutexvar_ps(lanes, partnerShifted);
    return ParityOne ? partner : _mm512_add_ps(partner, add);
}

inline void FillFirstColumnPath(uint32_t* path) {
    std::fill(path, path + kPathWordsPerColumn / 2, 0u);
    std::fill(path + kPathWordsPerColumn / 2, path + kPathWordsPerColumn, ~0u);
}

template <bool ParityOne>
__attribute__((target("avx512f"))) void Avx512FirstColumn(const float* from, float* to, bool bit,
                                                          const ForwardColumns& block) {
    const __m512i pick = ShiftPick(bit);
    const __m512 add = _mm512_set1_ps(block.costs[0]);
    const unsigned high = block.columns[0] >> 4;
    const __m512i lanes = PartnerLanes(block.columns[0]);
    for (unsigned v = 0; v < kVectors / 2; ++v) {
        const __m512 shifted = ShiftedVector(from, pick, v);
        _mm512_storeu_ps(to + 16 * v, KeptBelow<ParityOne>(shifted, add));
        _mm512_storeu_ps(to + 16 * (v ^ high), FlippedAbove<ParityOne>(shifted, lanes, add));
    }
    FillFirstColumnPath(block.path);
}

// That first column and the next in one sweep, as Avx512Pair: the first column's partner
// offset a has bit 5 (the upper half), so each coset's named member lies below and the
// member two places on (named ^ b) below or above as b has bit 5. After the first column
// the two lower members keep their shifted states and the upper ones flip from them, so a
// coset needs two shifted vectors.
template <bool ParityOne, bool NextParityOne>
__attribute__((target("avx512f"))) void Avx512FirstPair(const float* from, float* to, bool bit,
                                                        const ColumnPair& pair,
                                                        const ForwardColumns& block) {
    const __m512i pick = ShiftPick(bit);
    const PairColumns c = PairColumnsAt(block, 0);
    FillFirstColumnPath(c.path[0]);
    const bool secondAbove = (pair.b & kVectors / 2) != 0;
    ForEachCoset(
        pair, [&](const unsigned(&vectors)[4]) __attribute__((target("avx512f"), always_inline)) {
            const __m512 own = ShiftedVector(from, pick, vectors[0]);
            const __m512 other = ShiftedVector(from, pick, secondAbove ? vectors[3] : vectors[2]);
            const __m512 below = KeptBelow<ParityOne>(other, c.add[0]);
            const __m512 above = FlippedAbove<ParityOne>(other, c.lanes[0], c.add[0]);
            __m512 states[4] = {KeptBelow<ParityOne>(own, c.add[0]),
                                FlippedAbove<ParityOne>(own, c.lanes[0], c.add[0]),
                                secondAbove ? above : below, secondAbove ? below : above};
            Avx512Sweep<1, NextParityOne>(states, c.lanes[1], c.add[1], c.path[1], vectors);
            StoreCoset(to, states, vectors);
        });
}

using FirstPairPass = void (*)(const float*, float*, bool, const ColumnPair&,
                               const ForwardColumns&);
constexpr FirstPairPass kFirstPairPasses[4] = {
    Avx512FirstPair<false, false>, Avx512FirstPair<true, false>, Avx512FirstPair<false, true>,
    Avx512FirstPair<true, true>};

__attribute__((target("avx512f"))) float* Avx512BlockStart(float* from, float* spare, bool bit,
                                                           const ForwardColumns& block) {
    const unsigned column = block.columns[0];
    if ((column & kTrellisStates / 2) == 0) {
        ShiftOutRow(from, spare, bit);
        return Avx512Run(spare, from, block);
    }
    const ColumnPair pair = block.count >= 2 ? PairOf(column, block.columns[1]) : ColumnPair{};
    if (!pair.independent) {
        block.parities[0] != 0 ? Avx512FirstColumn<true>(from, spare, bit, block)
                               : Avx512FirstColumn<false>(from, spare, bit, block);
        return Avx512Run(spare, from, Rest(block));
    }
    kFirstPairPasses[PairParities(block, 0)](from, spare, bit, pair, block);
    return Avx512Run(spare, from, Rest(Rest(block)));
}

} // namespace
#endif

ForwardPass Avx512ForwardPass() {
#ifdef LUMORA_WEAVE_AVX512
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f"))
        return {Avx512Run, Avx512BlockStart, PathLayout::StateBits};
#endif
    return {};
}

} // namespace lumora::weave
