// SPDX-License-Identifier: GPL-2.0-or-later
// The forward pass with AVX-512: thirty-two states to a register, state s in lane s & 31 of
// vector s >> 5, so the partner s ^ c of a column c lies in vector (s >> 5) ^ (c >> 5) at
// lane (s & 31) ^ (c & 31). A comparison yields a mask of thirty-two path bits, stored as
// it is. The arithmetic is the portable pass's: saturating 16-bit sums, flip < keep, the
// minimum.
#include "weave/TrellisForward.h"
#include "weave/TrellisPairs.h"

#include "platform/VectorIntrinsics.h"
#include "platform/VectorLevel.h"

#if defined(__x86_64__)
#define LUMORA_WEAVE_AVX512 1
#endif

namespace lumora::weave {

#ifdef LUMORA_WEAVE_AVX512
namespace {

constexpr unsigned kLanes = 32;
constexpr unsigned kVectors = kTrellisStates / kLanes;

// The lane order l ^ (column & 31) in two cheap steps: 128-bit quarters by the column's
// bits 3 and 4 (as 64-bit lanes), then 16-bit lanes inside each quarter by bits 0 to 2.
struct PartnerLanes {
    __m512i quarters;
    __m512i inside;
};

__attribute__((target("avx512f,avx512bw"), always_inline)) inline PartnerLanes
PartnerLanesOf(unsigned column) {
    const auto quarter = static_cast<int64_t>((column >> 3) & 3);
    const __m512i quarters =
        _mm512_xor_si512(_mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0), _mm512_set1_epi64(2 * quarter));
    const char low = static_cast<char>(2 * (column & 7));
    const __m512i bytes = _mm512_set4_epi32(0x0F0E0D0C, 0x0B0A0908, 0x07060504, 0x03020100);
    const __m512i pairLow = _mm512_set1_epi16(static_cast<int16_t>(low | low << 8));
    return {quarters, _mm512_xor_si512(bytes, pairLow)};
}

__attribute__((target("avx512f,avx512bw"), always_inline)) inline __m512i
Partner(__m512i states, const PartnerLanes& lanes) {
    return _mm512_shuffle_epi8(_mm512_permutexvar_epi64(lanes.quarters, states), lanes.inside);
}

__attribute__((target("avx512f,avx512bw"), always_inline)) inline __m512i Load(const int16_t* p) {
    return _mm512_loadu_si512(p);
}

__attribute__((target("avx512f,avx512bw"), always_inline)) inline void Store(int16_t* p,
                                                                             __m512i v) {
    _mm512_storeu_si512(p, v);
}

// One column on one vector of states: returns the new costs of the states in `own`, whose
// partners are in `partners`, and stores their path bits.
template <bool ParityOne>
__attribute__((target("avx512f,avx512bw"), always_inline)) inline __m512i
Avx512Step(__m512i own, __m512i partners, const PartnerLanes& lanes, __m512i add, uint32_t* path,
           unsigned v) {
    const __m512i partner = Partner(partners, lanes);
    const __m512i keep = ParityOne ? _mm512_adds_epi16(own, add) : own;
    const __m512i flip = ParityOne ? partner : _mm512_adds_epi16(partner, add);
    path[v] = _mm512_cmpgt_epi16_mask(keep, flip);
    return _mm512_min_epi16(flip, keep);
}

template <bool ParityOne>
__attribute__((target("avx512f,avx512bw"))) void
Avx512Column(const int16_t* from, int16_t* to, unsigned column, int16_t cost, uint32_t* path) {
    const unsigned high = column >> 5;
    const PartnerLanes lanes = PartnerLanesOf(column);
    const __m512i add = _mm512_set1_epi16(cost);
    for (unsigned v = 0; v < kVectors; ++v)
        Store(to + kLanes * v,
              Avx512Step<ParityOne>(Load(from + kLanes * v), Load(from + kLanes * (v ^ high)),
                                    lanes, add, path, v));
}

// Column `Column` of a pair on the four vectors (a, b members 1, 2), in place.
template <unsigned Column, bool ParityOne>
__attribute__((target("avx512f,avx512bw"), always_inline)) inline void
Avx512Sweep(__m512i (&states)[4], const PartnerLanes& lanes, __m512i add, uint32_t* path,
            const unsigned (&vectors)[4]) {
    __m512i next[4];
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
    PartnerLanes lanes[2];
    __m512i add[2];
    uint32_t* path[2];
};

__attribute__((target("avx512f,avx512bw"), always_inline)) inline PairColumns
PairColumnsAt(const ForwardColumns& columns, size_t i) {
    PairColumns pair;
    for (size_t j = 0; j < 2; ++j) {
        pair.lanes[j] = PartnerLanesOf(columns.columns[i + j]);
        pair.add[j] = _mm512_set1_epi16(columns.costs[i + j]);
        pair.path[j] = columns.path + (i + j) * kPathWordsPerColumn;
    }
    return pair;
}

__attribute__((target("avx512f,avx512bw"), always_inline)) inline void
StoreCoset(int16_t* to, const __m512i (&states)[4], const unsigned (&vectors)[4]) {
#pragma GCC unroll 4
    for (unsigned m = 0; m < 4; ++m)
        Store(to + kLanes * vectors[m], states[m]);
}

template <bool ParityOne, bool NextParityOne>
__attribute__((target("avx512f,avx512bw"))) void
Avx512Pair(const int16_t* from, int16_t* to, const ColumnPair& pair, const ForwardColumns& columns,
           size_t i) {
    const PairColumns c = PairColumnsAt(columns, i);
    for (unsigned named = 0; named < kVectors; named = NextCoset(pair, named)) {
        unsigned vectors[4];
        CosetVectors(pair, named, vectors);
        __m512i states[4];
#pragma GCC unroll 4
        for (unsigned m = 0; m < 4; ++m)
            states[m] = Load(from + kLanes * vectors[m]);
        Avx512Sweep<0, ParityOne>(states, c.lanes[0], c.add[0], c.path[0], vectors);
        Avx512Sweep<1, NextParityOne>(states, c.lanes[1], c.add[1], c.path[1], vectors);
        StoreCoset(to, states, vectors);
    }
}

// How a block start lowers the surviving states: by the least cost of all states before,
// an unreachable state staying unreachable.
struct Lowering {
    __m512i pick;
    __m512i least;
    __m512i unreachable;
};

__attribute__((target("avx512f,avx512bw"))) inline Lowering LoweringOf(const int16_t* from,
                                                                       bool bit) {
    // Every block start waits on the least cost, so several minimums run side by side
    // rather than one that waits on each step in turn.
    constexpr unsigned kSideBySide = 4;
    __m512i sides[kSideBySide];
#pragma GCC unroll 4
    for (unsigned k = 0; k < kSideBySide; ++k)
        sides[k] = Load(from + kLanes * k);
    for (unsigned v = kSideBySide; v < kVectors; v += kSideBySide) {
#pragma GCC unroll 4
        for (unsigned k = 0; k < kSideBySide; ++k)
            sides[k] = _mm512_min_epi16(sides[k], Load(from + kLanes * (v + k)));
    }
    const __m512i least = _mm512_min_epi16(_mm512_min_epi16(sides[0], sides[1]),
                                           _mm512_min_epi16(sides[2], sides[3]));
    const __m256i quarter =
        _mm256_min_epi16(_mm512_castsi512_si256(least), _mm512_extracti64x4_epi64(least, 1));
    const __m128i eighth =
        _mm_min_epi16(_mm256_castsi256_si128(quarter), _mm256_extracti128_si256(quarter, 1));
    // Costs are never negative, so the unsigned minimum is the signed one.
    const auto lowest = static_cast<int16_t>(_mm_cvtsi128_si32(_mm_minpos_epu16(eighth)));
    const __m512i evens =
        _mm512_set_epi16(62, 60, 58, 56, 54, 52, 50, 48, 46, 44, 42, 40, 38, 36, 34, 32, 30, 28, 26,
                         24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
    return {_mm512_add_epi16(evens, _mm512_set1_epi16(bit ? 1 : 0)), _mm512_set1_epi16(lowest),
            _mm512_set1_epi16(kUnreachableCost)};
}

// The surviving half of the states, s -> s >> 1 for s whose lowest bit is `bit`, of vector v
// (below kVectors / 2), lowered: thirty-two states out of a pair of vectors.
__attribute__((target("avx512f,avx512bw"), always_inline)) inline __m512i
ShiftedVector(const int16_t* from, const Lowering& lowering, unsigned v) {
    const __m512i kept = _mm512_permutex2var_epi16(Load(from + 2 * kLanes * v), lowering.pick,
                                                   Load(from + 2 * kLanes * v + kLanes));
    return _mm512_mask_sub_epi16(kept, _mm512_cmpneq_epi16_mask(kept, lowering.unreachable), kept,
                                 lowering.least);
}

// A first column that touches the block's last row (bit 9: every column but the cut ones at
// a segment's end) pairs each lower state with an upper one after the row is dropped, and
// the upper half is unreachable. So a lower state can only keep and an upper one only flip:
// no comparison, no minimum, and path bits of 0 below and 1 above.
template <bool ParityOne>
__attribute__((target("avx512f,avx512bw"), always_inline)) inline __m512i KeptBelow(__m512i shifted,
                                                                                    __m512i add) {
    return ParityOne ? _mm512_adds_epi16(shifted, add) : shifted;
}
template <bool ParityOne>
__attribute__((target("avx512f,avx512bw"), always_inline)) inline __m512i
FlippedAbove(__m512i partnerShifted, const PartnerLanes& lanes, __m512i add) {
    const __m512i partner = Partner(partnerShifted, lanes);
    return ParityOne ? partner : _mm512_adds_epi16(partner, add);
}

template <bool ParityOne>
__attribute__((target("avx512f,avx512bw"))) void
Avx512FirstColumn(const int16_t* from, int16_t* to, bool bit, const ForwardColumns& block) {
    const Lowering lowering = LoweringOf(from, bit);
    const __m512i add = _mm512_set1_epi16(block.costs[0]);
    const unsigned high = block.columns[0] >> 5;
    const PartnerLanes lanes = PartnerLanesOf(block.columns[0]);
    for (unsigned v = 0; v < kVectors / 2; ++v) {
        const __m512i shifted = ShiftedVector(from, lowering, v);
        Store(to + kLanes * v, KeptBelow<ParityOne>(shifted, add));
        Store(to + kLanes * (v ^ high), FlippedAbove<ParityOne>(shifted, lanes, add));
    }
    FillFirstColumnPath(block.path);
}

// That first column and the next in one sweep, as Avx512Pair: the first column's partner
// offset a has bit 4 (the upper half), so each coset's named member lies below and the
// member two places on (named ^ b) below or above as b has bit 4. After the first column
// the two lower members keep their shifted states and the upper ones flip from them, so a
// coset needs two shifted vectors.
template <bool ParityOne, bool NextParityOne>
__attribute__((target("avx512f,avx512bw"))) void Avx512FirstPair(const int16_t* from, int16_t* to,
                                                                 bool bit, const ColumnPair& pair,
                                                                 const ForwardColumns& block) {
    const Lowering lowering = LoweringOf(from, bit);
    const PairColumns c = PairColumnsAt(block, 0);
    FillFirstColumnPath(c.path[0]);
    const bool secondAbove = (pair.b & kVectors / 2) != 0;
    for (unsigned named = 0; named < kVectors; named = NextCoset(pair, named)) {
        unsigned vectors[4];
        CosetVectors(pair, named, vectors);
        const __m512i own = ShiftedVector(from, lowering, vectors[0]);
        const __m512i other = ShiftedVector(from, lowering, secondAbove ? vectors[3] : vectors[2]);
        const __m512i below = KeptBelow<ParityOne>(other, c.add[0]);
        const __m512i above = FlippedAbove<ParityOne>(other, c.lanes[0], c.add[0]);
        __m512i states[4] = {KeptBelow<ParityOne>(own, c.add[0]),
                             FlippedAbove<ParityOne>(own, c.lanes[0], c.add[0]),
                             secondAbove ? above : below, secondAbove ? below : above};
        Avx512Sweep<1, NextParityOne>(states, c.lanes[1], c.add[1], c.path[1], vectors);
        StoreCoset(to, states, vectors);
    }
}

constexpr PairedPasses kPasses = {
    5,
    0,
    {Avx512Pair<false, false>, Avx512Pair<true, false>, Avx512Pair<false, true>,
     Avx512Pair<true, true>},
    {Avx512Column<false>, Avx512Column<true>},
    {Avx512FirstPair<false, false>, Avx512FirstPair<true, false>, Avx512FirstPair<false, true>,
     Avx512FirstPair<true, true>},
    {Avx512FirstColumn<false>, Avx512FirstColumn<true>},
};

int16_t* Avx512Run(int16_t* from, int16_t* spare, const ForwardColumns& columns) {
    return RunInPairs(from, spare, columns, kPasses);
}

int16_t* Avx512BlockStart(int16_t* from, int16_t* spare, bool bit, const ForwardColumns& block) {
    return StartBlockInPairs(from, spare, bit, block, kPasses);
}

} // namespace
#endif

ForwardPass Avx512ForwardPass() {
#ifdef LUMORA_WEAVE_AVX512
    if (CanUseVectors(VectorLevel::Avx512))
        return {Avx512Run, Avx512BlockStart};
#endif
    return {};
}

} // namespace lumora::weave
