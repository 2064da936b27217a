// SPDX-License-Identifier: GPL-2.0-or-later
// States are taken eight at a time: state s sits in lane s & 7 of vector s >> 3. The
// partner s ^ c of a column c lies in vector (s >> 3) ^ (c >> 3), at lane (s & 7) ^ (c & 7).
// Every state cost is a sum of non-negative costs (+0 or more, or +infinity), so the
// comparison flip < keep may be made on the floats' bit patterns as integers, and the
// minimum is the operand the comparison picks: both passes do exactly that.
//
// Path bits are stored in PathLayout::LaneWords.
#include "weave/TrellisForward.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define LUMORA_WEAVE_AVX2 1
#endif

namespace lumora::weave {
namespace {

constexpr unsigned kVectors = kTrellisStates / 8;
constexpr float kUnreachable = std::numeric_limits<float>::infinity();
constexpr unsigned kGroup = 32; // vectors whose path bits fill one word per lane

// ---- Portable pass: the compiler's 4-lane vectors, two per group of eight states. ----

using Quad = float __attribute__((vector_size(16)));
using QuadBits = uint32_t __attribute__((vector_size(16)));
using QuadMask = int32_t __attribute__((vector_size(16)));

template <unsigned Low> inline Quad Shuffle(Quad q) {
    constexpr unsigned kLow = Low & 3;
    return __builtin_shufflevector(q, q, 0 ^ kLow, 1 ^ kLow, 2 ^ kLow, 3 ^ kLow);
}

inline Quad LoadQuad(const float* p) {
    Quad q;
    std::memcpy(&q, p, sizeof q);
    return q;
}

// One half (lanes 0-3 or 4-7) of one vector: stores its new costs and returns the
// comparison's lanes, -1 where the flip won.
template <bool ParityOne> inline QuadMask StepQuad(Quad own, Quad partner, Quad cost, float* to) {
    const Quad keep = ParityOne ? own + cost : own;
    const Quad flip = ParityOne ? partner : partner + cost;
    QuadMask keepBits;
    QuadMask flipBits;
    std::memcpy(&keepBits, &keep, sizeof keep);
    std::memcpy(&flipBits, &flip, sizeof flip);
    const QuadMask flipped = flipBits < keepBits;
    const Quad best = flipped ? flip : keep;
    std::memcpy(to, &best, sizeof best);
    return flipped;
}

template <unsigned Low, bool ParityOne>
void PortableColumn(const float* from, float* to, unsigned high, float cost, uint32_t* path) {
    const Quad add = Quad{} + cost;
    // The partner's halves trade places when the column's lane bits reach lane 4.
    constexpr unsigned kFirst = Low >= 4 ? 4 : 0;
    constexpr unsigned kSecond = 4 - kFirst;
    for (unsigned group = 0; group < kVectors / kGroup; ++group) {
        // Even and odd vectors in two accumulators, so that no long chain of dependent
        // shifts forms; they are interleaved into one word per lane at the end.
        QuadBits evenLow = {}, evenHigh = {}, oddLow = {}, oddHigh = {};
        for (unsigned r = 0; r < kGroup; r += 2) {
            for (unsigned odd = 0; odd < 2; ++odd) {
                const unsigned vector = group * kGroup + r + odd;
                const float* own = from + 8 * vector;
                const float* partner = from + 8 * (vector ^ high);
                const QuadMask low = StepQuad<ParityOne>(
                    LoadQuad(own), Shuffle<Low>(LoadQuad(partner + kFirst)), add, to + 8 * vector);
                const QuadMask upper = StepQuad<ParityOne>(
                    LoadQuad(own + 4), Shuffle<Low>(LoadQuad(partner + kSecond)), add,
                    to + 8 * vector + 4);
                QuadBits& accLow = odd != 0 ? oddLow : evenLow;
                QuadBits& accHigh = odd != 0 ? oddHigh : evenHigh;
                accLow = (accLow << 2) - reinterpret_cast<const QuadBits&>(low);
                accHigh = (accHigh << 2) - reinterpret_cast<const QuadBits&>(upper);
            }
        }
        const QuadBits wordsLow = (evenLow << 1) + oddLow;
        const QuadBits wordsHigh = (evenHigh << 1) + oddHigh;
        std::memcpy(path + group * 8, &wordsLow, sizeof wordsLow);
        std::memcpy(path + group * 8 + 4, &wordsHigh, sizeof wordsHigh);
    }
}

template <bool ParityOne>
void PortableColumnOf(unsigned column, const float* from, float* to, float cost, uint32_t* path) {
    const unsigned high = column >> 3;
    switch (column & 7) {
    case 0:
        PortableColumn<0, ParityOne>(from, to, high, cost, path);
        break;
    case 1:
        PortableColumn<1, ParityOne>(from, to, high, cost, path);
        break;
    case 2:
        PortableColumn<2, ParityOne>(from, to, high, cost, path);
        break;
    case 3:
        PortableColumn<3, ParityOne>(from, to, high, cost, path);
        break;
    case 4:
        PortableColumn<4, ParityOne>(from, to, high, cost, path);
        break;
    case 5:
        PortableColumn<5, ParityOne>(from, to, high, cost, path);
        break;
    case 6:
        PortableColumn<6, ParityOne>(from, to, high, cost, path);
        break;
    default:
        PortableColumn<7, ParityOne>(from, to, high, cost, path);
        break;
    }
}

float* PortableRun(float* from, float* spare, const ForwardColumns& columns) {
    for (size_t i = 0; i < columns.count; ++i) {
        uint32_t* path = columns.path + i * kPathWordsPerColumn;
        if (columns.parities[i] != 0)
            PortableColumnOf<true>(columns.columns[i], from, spare, columns.costs[i], path);
        else
            PortableColumnOf<false>(columns.columns[i], from, spare, columns.costs[i], path);
        std::swap(from, spare);
    }
    return from;
}

} // namespace

ForwardColumns Rest(const ForwardColumns& columns) {
    ForwardColumns rest = columns;
    rest.columns += 1;
    rest.parities += 1;
    rest.costs += 1;
    rest.count -= 1;
    rest.path += kPathWordsPerColumn;
    return rest;
}

void ShiftOutRow(const float* from, float* to, bool bit) {
    for (unsigned s = 0; s < kTrellisStates / 2; s += 4) {
        const Quad a = LoadQuad(from + 2 * s);
        const Quad b = LoadQuad(from + 2 * s + 4);
        const Quad kept = bit ? __builtin_shufflevector(a, b, 1, 3, 5, 7)
                              : __builtin_shufflevector(a, b, 0, 2, 4, 6);
        std::memcpy(to + s, &kept, sizeof kept);
    }
    std::fill(to + kTrellisStates / 2, to + kTrellisStates, kUnreachable);
}

namespace {

float* PortableBlockStart(float* from, float* spare, bool bit, const ForwardColumns& block) {
    ShiftOutRow(from, spare, bit);
    return PortableRun(spare, from, block);
}

// ---- AVX2 pass: eight lanes per register, the partner's lanes by a variable permute. ----

#ifdef LUMORA_WEAVE_AVX2

template <bool ParityOne>
__attribute__((target("avx2"), always_inline)) inline __m256i
Avx2Step(const float* from, float* to, unsigned vector, unsigned high, __m256i lanes, __m256 add) {
    const __m256 own = _mm256_loadu_ps(from + 8 * vector);
    const __m256 partner =
        _mm256_permutevar8x32_ps(_mm256_loadu_ps(from + 8 * (vector ^ high)), lanes);
    const __m256 keep = ParityOne ? _mm256_add_ps(own, add) : own;
    const __m256 flip = ParityOne ? partner : _mm256_add_ps(partner, add);
    const __m256i flipped =
        _mm256_cmpgt_epi32(_mm256_castps_si256(keep), _mm256_castps_si256(flip));
    _mm256_storeu_ps(to + 8 * vector, _mm256_min_ps(flip, keep));
    return flipped;
}

template <bool ParityOne>
__attribute__((target("avx2"), always_inline)) inline void
Avx2Column(const float* from, float* to, unsigned column, float cost, uint32_t* path) {
    const unsigned high = column >> 3;
    const __m256i lanes = _mm256_xor_si256(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7),
                                           _mm256_set1_epi32(static_cast<int>(column & 7)));
    const __m256 add = _mm256_set1_ps(cost);
    for (unsigned group = 0; group < kVectors / kGroup; ++group) {
        __m256i even = _mm256_setzero_si256();
        __m256i odd = _mm256_setzero_si256();
        for (unsigned r = 0; r < kGroup; r += 2) {
            const unsigned vector = group * kGroup + r;
            even = _mm256_sub_epi32(_mm256_slli_epi32(even, 2),
                                    Avx2Step<ParityOne>(from, to, vector, high, lanes, add));
            odd = _mm256_sub_epi32(_mm256_slli_epi32(odd, 2),
                                   Avx2Step<ParityOne>(from, to, vector + 1, high, lanes, add));
        }
        const __m256i words = _mm256_add_epi32(_mm256_slli_epi32(even, 1), odd);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(path + group * 8), words);
    }
}

__attribute__((target("avx2"))) float* Avx2Run(float* from, float* spare,
                                               const ForwardColumns& columns) {
    for (size_t i = 0; i < columns.count; ++i) {
        uint32_t* path = columns.path + i * kPathWordsPerColumn;
        if (columns.parities[i] != 0)
            Avx2Column<true>(from, spare, columns.columns[i], columns.costs[i], path);
        else
            Avx2Column<false>(from, spare, columns.columns[i], columns.costs[i], path);
        std::swap(from, spare);
    }
    return from;
}

// The surviving half of the states, s -> s >> 1 for s whose lowest bit is `bit`: eight
// states out of each pair of vectors.
__attribute__((target("avx2"))) void Avx2ShiftOut(const float* from, float* to, bool bit) {
    for (unsigned v = 0; v < kVectors / 2; ++v) {
        const __m256 a = _mm256_loadu_ps(from + 16 * v);
        const __m256 b = _mm256_loadu_ps(from + 16 * v + 8);
        // Per 128-bit half: a's and b's even (or odd) lanes, then the halves' pairs in order.
        const __m256 mixed = bit ? _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))
                                 : _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        _mm256_storeu_ps(to + 8 * v, _mm256_castpd_ps(_mm256_permute4x64_pd(
                                         _mm256_castps_pd(mixed), _MM_SHUFFLE(3, 1, 2, 0))));
    }
}

// After the row is dropped the upper half is unreachable, and a column that touches the
// block's last row (bit 9: every column but the cut ones at a segment's end) pairs each
// lower state with an upper one. So a lower state can only keep and an upper one only flip:
// no comparison, no minimum, and path bits of 0 below and 1 above.
template <bool ParityOne>
__attribute__((target("avx2"))) void Avx2FirstColumn(const float* shifted, float* to,
                                                     unsigned column, float cost, uint32_t* path) {
    const __m256 add = _mm256_set1_ps(cost);
    const unsigned high = column >> 3;
    const __m256i lanes = _mm256_xor_si256(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7),
                                           _mm256_set1_epi32(static_cast<int>(column & 7)));
    for (unsigned v = 0; v < kVectors / 2; ++v) {
        const __m256 own = _mm256_loadu_ps(shifted + 8 * v);
        _mm256_storeu_ps(to + 8 * v, ParityOne ? _mm256_add_ps(own, add) : own);
    }
    for (unsigned v = kVectors / 2; v < kVectors; ++v) {
        const __m256 partner =
            _mm256_permutevar8x32_ps(_mm256_loadu_ps(shifted + 8 * (v ^ high)), lanes);
        _mm256_storeu_ps(to + 8 * v, ParityOne ? partner : _mm256_add_ps(partner, add));
    }
    std::fill(path, path + kPathWordsPerColumn / 2, 0u);
    std::fill(path + kPathWordsPerColumn / 2, path + kPathWordsPerColumn, ~0u);
}

__attribute__((target("avx2"))) float* Avx2BlockStart(float* from, float* spare, bool bit,
                                                      const ForwardColumns& block) {
    const unsigned column = block.columns[0];
    if ((column & kTrellisStates / 2) == 0) {
        ShiftOutRow(from, spare, bit);
        return Avx2Run(spare, from, block);
    }
    alignas(32) float shifted[kTrellisStates / 2];
    Avx2ShiftOut(from, shifted, bit);
    if (block.parities[0] != 0)
        Avx2FirstColumn<true>(shifted, spare, column, block.costs[0], block.path);
    else
        Avx2FirstColumn<false>(shifted, spare, column, block.costs[0], block.path);
    return Avx2Run(spare, from, Rest(block));
}

#endif

} // namespace

ForwardPass PortableForwardPass() {
    return {PortableRun, PortableBlockStart};
}

ForwardPass Avx2ForwardPass() {
#ifdef LUMORA_WEAVE_AVX2
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return {Avx2Run, Avx2BlockStart};
#endif
    return {};
}

} // namespace lumora::weave
