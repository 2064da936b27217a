// SPDX-License-Identifier: GPL-2.0-or-later
// The portable pass takes states eight at a time (state s in lane s & 7 of vector s >> 3);
// the AVX2 pass sixteen (lane s & 15 of vector s >> 4). The partner s ^ c of a column c
// lies in vector (s >> 3) ^ (c >> 3), at lane (s & 7) ^ (c & 7), and likewise for sixteen.
// Costs are 16-bit and never negative, so a sum saturating at kUnreachableCost is the
// signed saturating addition of the vector instruction sets. Both passes take two
// independent columns in one sweep (TrellisPairs.h).
#include "weave/TrellisForward.h"
#include "weave/TrellisPairs.h"

#include "platform/VectorIntrinsics.h"
#include "platform/VectorLevel.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#define LUMORA_WEAVE_AVX2 1
#endif

namespace lumora::weave {
namespace {

// ---- Portable pass: the compiler's 8-lane vectors. ----

using Lanes = int16_t __attribute__((vector_size(16)));
using UnsignedLanes = uint16_t __attribute__((vector_size(16)));
using Halves = uint64_t __attribute__((vector_size(16)));

constexpr unsigned kLaneBits = 3;
constexpr unsigned kLanes = 1u << kLaneBits;
constexpr unsigned kVectors = kTrellisStates / kLanes;

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "path bits are stored as bytes");

inline Lanes LoadLanes(const int16_t* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void StoreLanes(int16_t* p, Lanes v) {
    std::memcpy(p, &v, sizeof v);
}

inline Lanes AddSaturating(Lanes a, Lanes b) {
#ifdef __SSE2__
    return reinterpret_cast<Lanes>(
        _mm_adds_epi16(reinterpret_cast<__m128i>(a), reinterpret_cast<__m128i>(b)));
#else
    const Lanes sum = reinterpret_cast<Lanes>(reinterpret_cast<UnsignedLanes>(a) +
                                              reinterpret_cast<UnsignedLanes>(b));
    return sum < 0 ? Lanes{} + kUnreachableCost : sum;
#endif
}

inline Lanes Least(Lanes a, Lanes b) {
    return a < b ? a : b;
}

// Two vectors' comparisons (lanes of 0 or -1) as 16 path bits, the first's in the low byte.
inline unsigned PathBytesOf(Lanes first, Lanes second) {
#ifdef __SSE2__
    return static_cast<unsigned>(_mm_movemask_epi8(
        _mm_packs_epi16(reinterpret_cast<__m128i>(first), reinterpret_cast<__m128i>(second))));
#else
    unsigned bits = 0;
    for (unsigned lane = 0; lane < kLanes; ++lane)
        bits |= (first[lane] != 0 ? 1u : 0u) << lane | (second[lane] != 0 ? 1u : 0u) << (8 + lane);
    return bits;
#endif
}

// A vector's eight path bits: byte v of the column's words.
inline void StorePathByte(uint32_t* path, unsigned v, unsigned bits) {
    reinterpret_cast<uint8_t*>(path)[v] = static_cast<uint8_t>(bits);
}

// The least cost among kTrellisStates states. Every block start waits on it, so several
// minimums run side by side rather than one that waits on each step in turn.
int16_t LeastStateCost(const int16_t* states) {
    constexpr unsigned kSideBySide = 8;
    Lanes sides[kSideBySide];
#pragma GCC unroll 8
    for (unsigned k = 0; k < kSideBySide; ++k)
        sides[k] = LoadLanes(states + kLanes * k);
    for (unsigned v = kSideBySide; v < kVectors; v += kSideBySide) {
#pragma GCC unroll 8
        for (unsigned k = 0; k < kSideBySide; ++k)
            sides[k] = Least(sides[k], LoadLanes(states + kLanes * (v + k)));
    }
    const auto pair = [&sides](unsigned k) { return Least(sides[k], sides[k + 1]); };
    const Lanes least = Least(Least(pair(0), pair(2)), Least(pair(4), pair(6)));
    int16_t result = least[0];
    for (unsigned lane = 1; lane < kLanes; ++lane)
        result = std::min<int16_t>(result, least[lane]);
    return result;
}

// The lanes of `v` in the order l ^ Low.
template <unsigned Low> inline Lanes Partner(Lanes v) {
    if constexpr ((Low & 4) != 0) {
        const Halves halves = reinterpret_cast<Halves>(v);
        v = reinterpret_cast<Lanes>(__builtin_shufflevector(halves, halves, 1, 0));
    }
    constexpr unsigned k = Low & 3;
    if constexpr (k != 0)
        v = __builtin_shufflevector(v, v, 0 ^ k, 1 ^ k, 2 ^ k, 3 ^ k, 4 + (0 ^ k), 4 + (1 ^ k),
                                    4 + (2 ^ k), 4 + (3 ^ k));
    return v;
}

// What a column adds to a state that keeps its parity and to one that flips it.
struct ColumnAdds {
    Lanes keep;
    Lanes flip;
};

inline ColumnAdds AddsOf(int16_t cost, bool parityOne) {
    const Lanes add = Lanes{} + cost;
    return {parityOne ? add : Lanes{}, parityOne ? Lanes{} : add};
}

// One column on one vector of states `own`, whose partners are in `partners`: returns the
// new costs and sets `flipped` to the comparison, -1 where the flip won.
template <unsigned Low>
inline Lanes PortableStep(Lanes own, Lanes partners, const ColumnAdds& adds, Lanes& flipped) {
    const Lanes keep = AddSaturating(own, adds.keep);
    const Lanes flip = AddSaturating(Partner<Low>(partners), adds.flip);
    flipped = flip < keep;
    return Least(flip, keep);
}

template <unsigned Low>
void PortableColumn(const int16_t* from, int16_t* to, unsigned high, const ColumnAdds& adds,
                    uint32_t* path) {
    for (unsigned v = 0; v < kVectors; v += 2) {
        Lanes first;
        Lanes second;
        StoreLanes(to + kLanes * v,
                   PortableStep<Low>(LoadLanes(from + kLanes * v),
                                     LoadLanes(from + kLanes * (v ^ high)), adds, first));
        StoreLanes(to + kLanes * (v + 1),
                   PortableStep<Low>(LoadLanes(from + kLanes * (v + 1)),
                                     LoadLanes(from + kLanes * ((v + 1) ^ high)), adds, second));
        const unsigned bits = PathBytesOf(first, second);
        StorePathByte(path, v, bits);
        StorePathByte(path, v + 1, bits >> 8);
    }
}

// Calls visit with the column's lane bits (column & 7) as a compile-time constant.
template <typename Visit> void WithLaneBits(unsigned column, Visit&& visit) {
    switch (column & 7) {
    case 0:
        return visit(std::integral_constant<unsigned, 0>{});
    case 1:
        return visit(std::integral_constant<unsigned, 1>{});
    case 2:
        return visit(std::integral_constant<unsigned, 2>{});
    case 3:
        return visit(std::integral_constant<unsigned, 3>{});
    case 4:
        return visit(std::integral_constant<unsigned, 4>{});
    case 5:
        return visit(std::integral_constant<unsigned, 5>{});
    case 6:
        return visit(std::integral_constant<unsigned, 6>{});
    default:
        return visit(std::integral_constant<unsigned, 7>{});
    }
}

template <bool ParityOne>
void PortableSingle(const int16_t* from, int16_t* to, unsigned column, int16_t cost,
                    uint32_t* path) {
    WithLaneBits(column, [&](auto low) {
        PortableColumn<decltype(low)::value>(from, to, column >> kLaneBits, AddsOf(cost, ParityOne),
                                             path);
    });
}

// Column `Column` of a pair on a coset's four vectors, in place.
template <unsigned Column, unsigned Low>
inline void PortableSweep(Lanes (&states)[4], const ColumnAdds& adds, uint32_t* path,
                          const unsigned (&vectors)[4]) {
    Lanes next[4];
    Lanes flipped[4];
#pragma GCC unroll 4
    for (unsigned m = 0; m < 4; ++m)
        next[m] = PortableStep<Low>(states[m], states[m ^ (Column + 1)], adds, flipped[m]);
#pragma GCC unroll 2
    for (unsigned m = 0; m < 4; m += 2) {
        const unsigned bits = PathBytesOf(flipped[m], flipped[m + 1]);
        StorePathByte(path, vectors[m], bits);
        StorePathByte(path, vectors[m + 1], bits >> 8);
    }
#pragma GCC unroll 4
    for (unsigned m = 0; m < 4; ++m)
        states[m] = next[m];
}

template <unsigned Low, unsigned NextLow>
void PortablePairOf(const int16_t* from, int16_t* to, const ColumnPair& pair,
                    const ColumnAdds (&adds)[2], uint32_t* path) {
    for (unsigned named = 0; named < kVectors; named = NextCoset(pair, named)) {
        unsigned vectors[4];
        CosetVectors(pair, named, vectors);
        Lanes states[4];
#pragma GCC unroll 4
        for (unsigned m = 0; m < 4; ++m)
            states[m] = LoadLanes(from + kLanes * vectors[m]);
        PortableSweep<0, Low>(states, adds[0], path, vectors);
        PortableSweep<1, NextLow>(states, adds[1], path + kPathWordsPerColumn, vectors);
#pragma GCC unroll 4
        for (unsigned m = 0; m < 4; ++m)
            StoreLanes(to + kLanes * vectors[m], states[m]);
    }
}

template <bool ParityOne, bool NextParityOne>
void PortablePair(const int16_t* from, int16_t* to, const ColumnPair& pair,
                  const ForwardColumns& columns, size_t i) {
    const ColumnAdds adds[2] = {AddsOf(columns.costs[i], ParityOne),
                                AddsOf(columns.costs[i + 1], NextParityOne)};
    uint32_t* path = columns.path + i * kPathWordsPerColumn;
    WithLaneBits(columns.columns[i], [&](auto low) {
        WithLaneBits(columns.columns[i + 1], [&](auto nextLow) {
            PortablePairOf<decltype(low)::value, decltype(nextLow)::value>(from, to, pair, adds,
                                                                           path);
        });
    });
}

} // namespace

void FillFirstColumnPath(uint32_t* path) {
    std::fill(path, path + kPathWordsPerColumn / 2, 0u);
    std::fill(path + kPathWordsPerColumn / 2, path + kPathWordsPerColumn, ~0u);
}

void ShiftOutRow(const int16_t* from, int16_t* to, bool bit) {
    const Lanes least = Lanes{} + LeastStateCost(from);
    const Lanes unreachable = Lanes{} + kUnreachableCost;
    for (unsigned s = 0; s < kTrellisStates / 2; s += kLanes) {
        const Lanes a = LoadLanes(from + 2 * s);
        const Lanes b = LoadLanes(from + 2 * s + kLanes);
        const Lanes kept = bit ? __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15)
                               : __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14);
        StoreLanes(to + s, kept == unreachable ? kept : kept - least);
    }
    std::fill(to + kTrellisStates / 2, to + kTrellisStates, kUnreachableCost);
}

namespace {

// After the row is dropped the upper half is unreachable, and a column that touches the
// block's last row (bit 9: every column but the cut ones at a segment's end) pairs each
// lower state with an upper one. So a lower state can only keep and an upper one only flip:
// no comparison, no minimum, and path bits of 0 below and 1 above. In place: the states
// written above are never read.
template <unsigned Low, bool ParityOne>
void PortableFirstColumn(int16_t* states, unsigned high, int16_t cost) {
    const Lanes add = Lanes{} + cost;
    for (unsigned v = 0; v < kVectors / 2; ++v) {
        const Lanes own = LoadLanes(states + kLanes * v);
        StoreLanes(states + kLanes * v, ParityOne ? AddSaturating(own, add) : own);
        const Lanes partner = Partner<Low>(own);
        StoreLanes(states + kLanes * (v ^ high), ParityOne ? partner : AddSaturating(partner, add));
    }
}

template <bool ParityOne>
void PortableFirst(const int16_t* from, int16_t* to, bool bit, const ForwardColumns& block) {
    ShiftOutRow(from, to, bit);
    WithLaneBits(block.columns[0], [&](auto low) {
        PortableFirstColumn<decltype(low)::value, ParityOne>(to, block.columns[0] >> kLaneBits,
                                                             block.costs[0]);
    });
    FillFirstColumnPath(block.path);
}

// A block's first two columns are not taken together: the first needs no comparison.
constexpr PairedPasses kPortablePasses = {
    kLaneBits,
    0,
    {PortablePair<false, false>, PortablePair<true, false>, PortablePair<false, true>,
     PortablePair<true, true>},
    {PortableSingle<false>, PortableSingle<true>},
    {},
    {PortableFirst<false>, PortableFirst<true>},
};

int16_t* PortableRun(int16_t* from, int16_t* spare, const ForwardColumns& columns) {
    return RunInPairs(from, spare, columns, kPortablePasses);
}

int16_t* PortableBlockStart(int16_t* from, int16_t* spare, bool bit, const ForwardColumns& block) {
    return StartBlockInPairs(from, spare, bit, block, kPortablePasses);
}

// ---- AVX2 pass: sixteen lanes per register. ----

#ifdef LUMORA_WEAVE_AVX2

constexpr unsigned kWideLanes = 16;
constexpr unsigned kWideVectors = kTrellisStates / kWideLanes;

// The lane order l ^ (column & 15) in two steps: the 128-bit halves swapped where the
// column has bit 3, kCrossBit (the template argument Cross, so that half the columns need
// no swap), then the 16-bit lanes inside each half by bits 0 to 2.
struct PartnerLanes {
    __m256i inside;
};

constexpr unsigned kCrossBit = 8;

__attribute__((target("avx2"), always_inline)) inline PartnerLanes PartnerLanesOf(unsigned column) {
    const char low = static_cast<char>(2 * (column & 7));
    return {_mm256_xor_si256(_mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
                                              0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                             _mm256_set1_epi16(static_cast<int16_t>(low | low << 8)))};
}

// The halves are swapped by the 128-bit permute, which measured faster here than the
// 64-bit one.
template <bool Cross>
__attribute__((target("avx2"), always_inline)) inline __m256i Partner(__m256i states,
                                                                      const PartnerLanes& lanes) {
    return _mm256_shuffle_epi8(Cross ? _mm256_permute2x128_si256(states, states, 1) : states,
                               lanes.inside);
}

__attribute__((target("avx2"), always_inline)) inline __m256i Avx2Load(const int16_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

__attribute__((target("avx2"), always_inline)) inline void Avx2Store(int16_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// One column on one vector of states `own`, whose partners are in `partners`: returns the
// new costs and sets `flipped` to the comparison, -1 where the flip won.
template <bool ParityOne, bool Cross>
__attribute__((target("avx2"), always_inline)) inline __m256i
Avx2Step(__m256i own, __m256i partners, const PartnerLanes& lanes, __m256i add, __m256i& flipped) {
    const __m256i partner = Partner<Cross>(partners, lanes);
    const __m256i keep = ParityOne ? _mm256_adds_epi16(own, add) : own;
    const __m256i flip = ParityOne ? partner : _mm256_adds_epi16(partner, add);
    flipped = _mm256_cmpgt_epi16(keep, flip);
    return _mm256_min_epi16(keep, flip);
}

// Two vectors' comparisons as 32 path bits, the first vector's in the low half.
__attribute__((target("avx2"), always_inline)) inline uint32_t PathBitsOf(__m256i first,
                                                                          __m256i second) {
    const __m256i bytes =
        _mm256_permute4x64_epi64(_mm256_packs_epi16(first, second), _MM_SHUFFLE(3, 1, 2, 0));
    return static_cast<uint32_t>(_mm256_movemask_epi8(bytes));
}

// A vector's sixteen path bits: state s at bit s & 15 of half-word s >> 4.
__attribute__((target("avx2"), always_inline)) inline void StoreHalf(uint32_t* path, unsigned v,
                                                                     uint32_t bits) {
    const auto half = static_cast<uint16_t>(bits);
    std::memcpy(reinterpret_cast<char*>(path) + 2 * v, &half, sizeof half);
}

template <bool ParityOne, bool Cross>
__attribute__((target("avx2"))) void Avx2ColumnOf(const int16_t* from, int16_t* to, unsigned column,
                                                  int16_t cost, uint32_t* path) {
    const unsigned high = column >> 4;
    const PartnerLanes lanes = PartnerLanesOf(column);
    const __m256i add = _mm256_set1_epi16(cost);
    for (unsigned v = 0; v < kWideVectors; v += 2) {
        __m256i first;
        __m256i second;
        Avx2Store(to + kWideLanes * v,
                  Avx2Step<ParityOne, Cross>(Avx2Load(from + kWideLanes * v),
                                             Avx2Load(from + kWideLanes * (v ^ high)), lanes, add,
                                             first));
        Avx2Store(to + kWideLanes * (v + 1),
                  Avx2Step<ParityOne, Cross>(Avx2Load(from + kWideLanes * (v + 1)),
                                             Avx2Load(from + kWideLanes * ((v + 1) ^ high)), lanes,
                                             add, second));
        path[v / 2] = PathBitsOf(first, second);
    }
}

// Column `Column` of a pair on a coset's four vectors (a, b members 1, 2), in place.
template <unsigned Column, bool ParityOne, bool Cross>
__attribute__((target("avx2"), always_inline)) inline void
Avx2Sweep(__m256i (&states)[4], const PartnerLanes& lanes, __m256i add, uint32_t* path,
          const unsigned (&vectors)[4]) {
    __m256i next[4];
    __m256i flipped[4];
#pragma GCC unroll 4
    for (unsigned m = 0; m < 4; ++m)
        next[m] =
            Avx2Step<ParityOne, Cross>(states[m], states[m ^ (Column + 1)], lanes, add, flipped[m]);
#pragma GCC unroll 2
    for (unsigned m = 0; m < 4; m += 2) {
        const uint32_t bits = PathBitsOf(flipped[m], flipped[m + 1]);
        StoreHalf(path, vectors[m], bits);
        StoreHalf(path, vectors[m + 1], bits >> 16);
    }
#pragma GCC unroll 4
    for (unsigned m = 0; m < 4; ++m)
        states[m] = next[m];
}

template <bool ParityOne, bool NextParityOne, bool Cross, bool NextCross>
__attribute__((target("avx2"))) void Avx2PairOf(const int16_t* from, int16_t* to,
                                                const ColumnPair& pair,
                                                const ForwardColumns& columns, size_t i) {
    const PartnerLanes lanes[2] = {PartnerLanesOf(columns.columns[i]),
                                   PartnerLanesOf(columns.columns[i + 1])};
    const __m256i add[2] = {_mm256_set1_epi16(columns.costs[i]),
                            _mm256_set1_epi16(columns.costs[i + 1])};
    uint32_t* path = columns.path + i * kPathWordsPerColumn;
    for (unsigned named = 0; named < kWideVectors; named = NextCoset(pair, named)) {
        unsigned vectors[4];
        CosetVectors(pair, named, vectors);
        __m256i states[4];
#pragma GCC unroll 4
        for (unsigned m = 0; m < 4; ++m)
            states[m] = Avx2Load(from + kWideLanes * vectors[m]);
        Avx2Sweep<0, ParityOne, Cross>(states, lanes[0], add[0], path, vectors);
        Avx2Sweep<1, NextParityOne, NextCross>(states, lanes[1], add[1], path + kPathWordsPerColumn,
                                               vectors);
#pragma GCC unroll 4
        for (unsigned m = 0; m < 4; ++m)
            Avx2Store(to + kWideLanes * vectors[m], states[m]);
    }
}

// Every block start waits on this, so it keeps several minimums side by side rather than
// one that waits on each step in turn.
__attribute__((target("avx2"))) int16_t Avx2LeastStateCost(const int16_t* states) {
    constexpr unsigned kSideBySide = 8;
    __m256i least[kSideBySide];
#pragma GCC unroll 8
    for (unsigned k = 0; k < kSideBySide; ++k)
        least[k] = Avx2Load(states + kWideLanes * k);
    for (unsigned v = kSideBySide; v < kWideVectors; v += kSideBySide) {
#pragma GCC unroll 8
        for (unsigned k = 0; k < kSideBySide; ++k)
            least[k] = _mm256_min_epi16(least[k], Avx2Load(states + kWideLanes * (v + k)));
    }
    const __m256i all = _mm256_min_epi16(_mm256_min_epi16(_mm256_min_epi16(least[0], least[1]),
                                                          _mm256_min_epi16(least[2], least[3])),
                                         _mm256_min_epi16(_mm256_min_epi16(least[4], least[5]),
                                                          _mm256_min_epi16(least[6], least[7])));
    const __m128i half =
        _mm_min_epi16(_mm256_castsi256_si128(all), _mm256_extracti128_si256(all, 1));
    // Costs are never negative, so the unsigned minimum is the signed one.
    return static_cast<int16_t>(_mm_cvtsi128_si32(_mm_minpos_epu16(half)));
}

// How a block start lowers the surviving states: by the least cost of all states before,
// an unreachable state staying unreachable.
struct Lowering {
    bool bit;
    __m256i least;
    __m256i unreachable;
};

__attribute__((target("avx2"))) inline Lowering LoweringOf(const int16_t* from, bool bit) {
    return {bit, _mm256_set1_epi16(Avx2LeastStateCost(from)), _mm256_set1_epi16(kUnreachableCost)};
}

// The surviving half of the states, s -> s >> 1 for s whose lowest bit is `bit`, of vector v
// (below kWideVectors / 2), lowered: sixteen states out of a pair of vectors.
__attribute__((target("avx2"), always_inline)) inline __m256i
ShiftedVector(const int16_t* from, const Lowering& lowering, unsigned v) {
    __m256i a = Avx2Load(from + 2 * kWideLanes * v);
    __m256i b = Avx2Load(from + 2 * kWideLanes * v + kWideLanes);
    const __m256i low = _mm256_set1_epi32(0xFFFF);
    a = lowering.bit ? _mm256_srli_epi32(a, 16) : _mm256_and_si256(a, low);
    b = lowering.bit ? _mm256_srli_epi32(b, 16) : _mm256_and_si256(b, low);
    const __m256i kept =
        _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), _MM_SHUFFLE(3, 1, 2, 0));
    return _mm256_blendv_epi8(_mm256_sub_epi16(kept, lowering.least), kept,
                              _mm256_cmpeq_epi16(kept, lowering.unreachable));
}

// After the row is dropped the upper half is unreachable, and a column that touches the
// block's last row (bit 9: every column but the cut ones at a segment's end) pairs each
// lower state with an upper one. So a lower state can only keep and an upper one only flip:
// no comparison, no minimum, and path bits of 0 below and 1 above.
template <bool ParityOne>
__attribute__((target("avx2"), always_inline)) inline __m256i KeptBelow(__m256i shifted,
                                                                        __m256i add) {
    return ParityOne ? _mm256_adds_epi16(shifted, add) : shifted;
}
template <bool ParityOne, bool Cross>
__attribute__((target("avx2"), always_inline)) inline __m256i
FlippedAbove(__m256i partnerShifted, const PartnerLanes& lanes, __m256i add) {
    const __m256i partner = Partner<Cross>(partnerShifted, lanes);
    return ParityOne ? partner : _mm256_adds_epi16(partner, add);
}

template <bool ParityOne, bool Cross>
__attribute__((target("avx2"))) void Avx2FirstColumnOf(const int16_t* from, int16_t* to, bool bit,
                                                       const ForwardColumns& block) {
    const Lowering lowering = LoweringOf(from, bit);
    const __m256i add = _mm256_set1_epi16(block.costs[0]);
    const unsigned high = block.columns[0] >> 4;
    const PartnerLanes lanes = PartnerLanesOf(block.columns[0]);
    for (unsigned v = 0; v < kWideVectors / 2; ++v) {
        const __m256i shifted = ShiftedVector(from, lowering, v);
        Avx2Store(to + kWideLanes * v, KeptBelow<ParityOne>(shifted, add));
        Avx2Store(to + kWideLanes * (v ^ high),
                  FlippedAbove<ParityOne, Cross>(shifted, lanes, add));
    }
    FillFirstColumnPath(block.path);
}

// That first column and the next in one sweep, as Avx2PairOf: the first column's partner
// offset a has bit 5 (the upper half), so each coset's named member lies below and the
// member two places on (named ^ b) below or above as b has bit 5. After the first column
// the two lower members keep their shifted states and the upper ones flip from them, so a
// coset needs two shifted vectors.
template <bool ParityOne, bool NextParityOne, bool Cross, bool NextCross>
__attribute__((target("avx2"))) void Avx2FirstPairOf(const int16_t* from, int16_t* to, bool bit,
                                                     const ColumnPair& pair,
                                                     const ForwardColumns& block) {
    const Lowering lowering = LoweringOf(from, bit);
    const PartnerLanes lanes[2] = {PartnerLanesOf(block.columns[0]),
                                   PartnerLanesOf(block.columns[1])};
    const __m256i add[2] = {_mm256_set1_epi16(block.costs[0]), _mm256_set1_epi16(block.costs[1])};
    FillFirstColumnPath(block.path);
    const bool secondAbove = (pair.b & kWideVectors / 2) != 0;
    for (unsigned named = 0; named < kWideVectors; named = NextCoset(pair, named)) {
        unsigned vectors[4];
        CosetVectors(pair, named, vectors);
        const __m256i own = ShiftedVector(from, lowering, vectors[0]);
        const __m256i other = ShiftedVector(from, lowering, secondAbove ? vectors[3] : vectors[2]);
        const __m256i below = KeptBelow<ParityOne>(other, add[0]);
        const __m256i above = FlippedAbove<ParityOne, Cross>(other, lanes[0], add[0]);
        __m256i states[4] = {KeptBelow<ParityOne>(own, add[0]),
                             FlippedAbove<ParityOne, Cross>(own, lanes[0], add[0]),
                             secondAbove ? above : below, secondAbove ? below : above};
        Avx2Sweep<1, NextParityOne, NextCross>(states, lanes[1], add[1],
                                               block.path + kPathWordsPerColumn, vectors);
#pragma GCC unroll 4
        for (unsigned m = 0; m < 4; ++m)
            Avx2Store(to + kWideLanes * vectors[m], states[m]);
    }
}

// The passes for every index of a table: the parities in its low bits, then whether each
// column crosses halves.
template <size_t I> struct Avx2PairAt {
    static constexpr PairPass value =
        Avx2PairOf<(I & 1) != 0, (I & 2) != 0, (I & 4) != 0, (I & 8) != 0>;
};
template <size_t I> struct Avx2SingleAt {
    static constexpr SinglePass value = Avx2ColumnOf<(I & 1) != 0, (I & 2) != 0>;
};
template <size_t I> struct Avx2FirstPairAt {
    static constexpr FirstPairPass value =
        Avx2FirstPairOf<(I & 1) != 0, (I & 2) != 0, (I & 4) != 0, (I & 8) != 0>;
};
template <size_t I> struct Avx2FirstSingleAt {
    static constexpr FirstSinglePass value = Avx2FirstColumnOf<(I & 1) != 0, (I & 2) != 0>;
};

template <typename Pass, size_t Size, template <size_t> class At>
constexpr std::array<Pass, Size> PassTable() {
    return []<size_t... I>(std::index_sequence<I...>) {
        return std::array<Pass, Size>{At<I>::value...};
    }
    (std::make_index_sequence<Size>{});
}

constexpr PairedPasses kAvx2Passes = {
    4,
    kCrossBit,
    PassTable<PairPass, 16, Avx2PairAt>(),
    PassTable<SinglePass, 4, Avx2SingleAt>(),
    PassTable<FirstPairPass, 16, Avx2FirstPairAt>(),
    PassTable<FirstSinglePass, 4, Avx2FirstSingleAt>(),
};

int16_t* Avx2Run(int16_t* from, int16_t* spare, const ForwardColumns& columns) {
    return RunInPairs(from, spare, columns, kAvx2Passes);
}

int16_t* Avx2BlockStart(int16_t* from, int16_t* spare, bool bit, const ForwardColumns& block) {
    return StartBlockInPairs(from, spare, bit, block, kAvx2Passes);
}

#endif

} // namespace

ForwardPass PortableForwardPass() {
    return {PortableRun, PortableBlockStart};
}

ForwardPass Avx2ForwardPass() {
#ifdef LUMORA_WEAVE_AVX2
    if (CanUseVectors(VectorLevel::Avx2))
        return {Avx2Run, Avx2BlockStart};
#endif
    return {};
}

} // namespace lumora::weave
