// SPDX-License-Identifier: GPL-2.0-or-later
// A level is found from a first guess and two comparisons. The guess is 8 * log2 of the
// sum taken straight from its double's bits (exponent and three bits after the point: low
// by less than 1.69), less 191; as 8 * log2(225 * 2^32) - 128.5 = 190.01, it lies at most
// two levels below the right one and never above it. The level is the guess plus the
// number of the next two starts at or below the sum.
#include "weave/HillLevelScale.h"

#include "platform/VectorIntrinsics.h"
#include "platform/VectorLevel.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace lumora::weave {
namespace {

constexpr double kBoxScale = 225.0 * 4294967296.0; // a 15x15 sum of fixed-point values per 1.0
// The double's bits >> 49 are 8 * (exponent + 1023) plus three bits after the point.
constexpr int kGuessOffset = 8 * 1023 + 191;
constexpr int kMostLevel = 255;

// The start of every level, 0 for level 0 and +infinity past level 255, so that a guess
// of 0 to 255 can look two ahead.
const std::array<double, kMostLevel + 3>& Starts() {
    static const std::array<double, kMostLevel + 3> starts = [] {
        std::array<double, kMostLevel + 3> s{};
        for (int level = 1; level <= kMostLevel; ++level)
            s[static_cast<size_t>(level)] = kBoxScale * std::exp2((level - 128.5) / 8.0);
        for (size_t past = kMostLevel + 1; past < s.size(); ++past)
            s[past] = std::numeric_limits<double>::infinity();
        return s;
    }();
    return starts;
}

uint8_t LevelOf(uint64_t sum, const double* starts) {
    const auto value = static_cast<double>(sum);
    const int guess = std::clamp(
        static_cast<int>(std::bit_cast<uint64_t>(value) >> 49) - kGuessOffset, 0, kMostLevel);
    int level = guess;
    for (int ahead = 1; ahead <= 2; ++ahead)
        level += value >= starts[guess + ahead] ? 1 : 0;
    return static_cast<uint8_t>(level);
}

#if defined(__x86_64__) || defined(__i386__)

// Four sums at a time. A sum becomes the nearest double as its two 32-bit halves, each
// exact, added with one rounding, which is what the scalar conversion gives.
__attribute__((target("avx2"))) void Avx2LevelsOfSums(const uint64_t* sums, size_t count,
                                                      uint8_t* levels) {
    const double* starts = Starts().data();
    const __m256i lowBias = _mm256_set1_epi64x(0x4330000000000000);  // 2^52
    const __m256i highBias = _mm256_set1_epi64x(0x4530000000000000); // 2^84
    const __m256d bothBiases = _mm256_set1_pd(0x1.00000001p84);      // 2^84 + 2^52
    const __m256i evens = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
    const __m128i offset = _mm_set1_epi32(kGuessOffset);
    const __m128i most = _mm_set1_epi32(kMostLevel);
    const __m128i zero = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m256i sum = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + i));
        const __m256i low = _mm256_blend_epi32(lowBias, sum, 0x55);
        const __m256i high = _mm256_or_si256(_mm256_srli_epi64(sum, 32), highBias);
        const __m256d value = _mm256_add_pd(_mm256_sub_pd(_mm256_castsi256_pd(high), bothBiases),
                                            _mm256_castsi256_pd(low));
        const __m256i top = _mm256_srli_epi64(_mm256_castpd_si256(value), 49);
        const __m128i guess = _mm_min_epi32(
            _mm_max_epi32(
                _mm_sub_epi32(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(top, evens)),
                              offset),
                zero),
            most);
        __m128i level = guess;
        for (int ahead = 1; ahead <= 2; ++ahead) {
            const __m256d start = _mm256_i32gather_pd(starts + ahead, guess, 8);
            const __m256i reached = _mm256_castpd_si256(_mm256_cmp_pd(value, start, _CMP_GE_OQ));
            level = _mm_sub_epi32(
                level, _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(reached, evens)));
        }
        const __m128i bytes = _mm_packus_epi16(_mm_packus_epi32(level, zero), zero);
        const auto four = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
        std::memcpy(levels + i, &four, sizeof four);
    }
    PortableHillLevelsOfSums(sums + i, count - i, levels + i);
}

#endif

} // namespace

double HillLevelStart(unsigned level) {
    return Starts()[level];
}

void PortableHillLevelsOfSums(const uint64_t* sums, size_t count, uint8_t* levels) {
    const double* starts = Starts().data();
    for (size_t i = 0; i < count; ++i)
        levels[i] = LevelOf(sums[i], starts);
}

void HillLevelsOfSums(const uint64_t* sums, size_t count, uint8_t* levels) {
#if defined(__x86_64__) || defined(__i386__)
    if (CanUseVectors(VectorLevel::Avx2)) {
        Avx2LevelsOfSums(sums, count, levels);
        return;
    }
#endif
    PortableHillLevelsOfSums(sums, count, levels);
}

} // namespace lumora::weave
