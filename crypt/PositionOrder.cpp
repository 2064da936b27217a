// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/PositionOrder.h"

#include "platform/ByteOrder.h"

#include <algorithm>
#include <bit>
#include <immintrin.h>
#include <sodium.h>

namespace lumora {
namespace {

// Odd multipliers of the round function.
constexpr uint32_t kMixFirst = 0x9E3779B1;
constexpr uint32_t kMixSecond = 0x85EBCA6B;

static_assert(PositionOrder::kKeySize == crypto_stream_chacha20_KEYBYTES);
static_assert(PositionOrder::kRounds % 2 == 0, "rounds go in pairs, one for each part");

// The round function: two multiplications with a fold between them, of which the top
// outBits bits are kept, where every input bit has reached.
inline uint32_t Round(uint32_t part, uint32_t roundKey, unsigned outBits) {
    uint32_t mixed = (part ^ roundKey) * kMixFirst;
    mixed ^= mixed >> 16;
    mixed *= kMixSecond;
    return mixed >> (32 - outBits);
}

// Round on eight parts at once; outShift holds 32 - outBits.
__attribute__((target("avx2"), always_inline)) inline __m256i
RoundAvx2(__m256i part, __m256i roundKey, __m128i outShift) {
    const __m256i mixFirst = _mm256_set1_epi32(static_cast<int>(kMixFirst));
    const __m256i mixSecond = _mm256_set1_epi32(static_cast<int>(kMixSecond));
    __m256i mixed = _mm256_mullo_epi32(_mm256_xor_si256(part, roundKey), mixFirst);
    mixed = _mm256_xor_si256(mixed, _mm256_srli_epi32(mixed, 16));
    mixed = _mm256_mullo_epi32(mixed, mixSecond);
    return _mm256_srl_epi32(mixed, outShift);
}

// Indices Map walks side by side.
constexpr size_t kBlock = 1024;

bool HasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

} // namespace

PositionOrder::PositionOrder(const uint8_t* key, uint64_t domain)
    : m_domain(std::min(domain, kMaxDomain)) {
    const uint64_t largest = m_domain > 0 ? m_domain - 1 : 0;
    const unsigned bits = std::max(2u, static_cast<unsigned>(std::bit_width(largest)));
    m_highBits = bits / 2;
    m_lowBits = bits - m_highBits;
    m_lowMask = (uint32_t{1} << m_lowBits) - 1;

    uint8_t stream[4 * kRounds];
    const uint8_t nonce[crypto_stream_chacha20_NONCEBYTES] = {};
    crypto_stream_chacha20(stream, sizeof stream, nonce, key);
    for (size_t round = 0; round < kRounds; ++round)
        m_roundKeys[round] = LoadLe32(stream + 4 * round);
    sodium_memzero(stream, sizeof stream);
}

PositionOrder::~PositionOrder() {
    sodium_memzero(m_roundKeys.data(), sizeof m_roundKeys);
}

template <PositionOrder::Way way> uint32_t PositionOrder::Network(uint32_t value) const {
    // Rounds alternate: an even one changes the high part from the low one, an odd one the
    // low part from the high one. Backwards, the same rounds undo each other in reverse.
    uint32_t high = value >> m_lowBits;
    uint32_t low = value & m_lowMask;
    if constexpr (way == Way::Forward) {
        for (size_t round = 0; round < kRounds; round += 2) {
            high ^= Round(low, m_roundKeys[round], m_highBits);
            low ^= Round(high, m_roundKeys[round + 1], m_lowBits);
        }
    } else {
        for (size_t round = kRounds; round > 0; round -= 2) {
            low ^= Round(high, m_roundKeys[round - 1], m_lowBits);
            high ^= Round(low, m_roundKeys[round - 2], m_highBits);
        }
    }
    return (high << m_lowBits) | low;
}

template <PositionOrder::Way way>
__attribute__((target("avx2"))) void PositionOrder::NetworkAllAvx2(uint32_t* values,
                                                                   size_t count) const {
    const __m256i lowMask = _mm256_set1_epi32(static_cast<int>(m_lowMask));
    const __m128i lowShift = _mm_cvtsi32_si128(static_cast<int>(m_lowBits));
    const __m128i highOut = _mm_cvtsi32_si128(static_cast<int>(32 - m_highBits));
    const __m128i lowOut = _mm_cvtsi32_si128(static_cast<int>(32 - m_lowBits));
    __m256i keys[kRounds];
    for (size_t round = 0; round < kRounds; ++round)
        keys[round] = _mm256_set1_epi32(static_cast<int>(m_roundKeys[round]));
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        auto* at = reinterpret_cast<__m256i*>(values + i);
        const __m256i value = _mm256_loadu_si256(at);
        __m256i high = _mm256_srl_epi32(value, lowShift);
        __m256i low = _mm256_and_si256(value, lowMask);
        if constexpr (way == Way::Forward) {
            for (size_t r = 0; r < kRounds; r += 2) {
                high = _mm256_xor_si256(high, RoundAvx2(low, keys[r], highOut));
                low = _mm256_xor_si256(low, RoundAvx2(high, keys[r + 1], lowOut));
            }
        } else {
            for (size_t r = kRounds; r > 0; r -= 2) {
                low = _mm256_xor_si256(low, RoundAvx2(high, keys[r - 1], lowOut));
                high = _mm256_xor_si256(high, RoundAvx2(low, keys[r - 2], highOut));
            }
        }
        _mm256_storeu_si256(at, _mm256_or_si256(_mm256_sll_epi32(high, lowShift), low));
    }
    for (; i < count; ++i)
        values[i] = Network<way>(values[i]);
}

template <PositionOrder::Way way>
void PositionOrder::NetworkAll(uint32_t* values, size_t count) const {
    if (HasAvx2()) {
        NetworkAllAvx2<way>(values, count);
        return;
    }
    for (size_t i = 0; i < count; ++i)
        values[i] = Network<way>(values[i]);
}

template <PositionOrder::Way way> uint32_t PositionOrder::WalkOne(uint32_t value) const {
    if (value >= m_domain)
        return value;
    // The walk ends: the cycle through value holds value itself, which lies inside.
    uint32_t next = Network<way>(value);
    while (next >= m_domain)
        next = Network<way>(next);
    return next;
}

template <PositionOrder::Way way> void PositionOrder::Walk(uint32_t* values, size_t count) const {
    // Every walk takes one pass at the same time, the walks of a block side by side in a
    // dense list, which drops those that have landed after each pass: the passes vectorise,
    // and no walk waits on its own pass or mispredicts where it ends.
    uint32_t walking[kBlock];
    uint16_t slot[kBlock];
    for (size_t start = 0; start < count; start += kBlock) {
        const size_t size = std::min(kBlock, count - start);
        uint32_t* block = values + start;
        size_t pending = 0;
        for (size_t i = 0; i < size; ++i) {
            walking[pending] = block[i];
            slot[pending] = static_cast<uint16_t>(i);
            pending += block[i] < m_domain;
        }
        while (pending > 0) {
            NetworkAll<way>(walking, pending);
            size_t kept = 0;
            for (size_t i = 0; i < pending; ++i) {
                const uint32_t value = walking[i];
                block[slot[i]] = value;
                walking[kept] = value;
                slot[kept] = slot[i];
                kept += value >= m_domain;
            }
            pending = kept;
        }
    }
}

uint32_t PositionOrder::At(uint32_t index) const {
    return WalkOne<Way::Forward>(index);
}

void PositionOrder::Map(uint32_t* values, size_t count) const {
    Walk<Way::Forward>(values, count);
}

uint32_t PositionOrder::InverseAt(uint32_t image) const {
    return WalkOne<Way::Backward>(image);
}

void PositionOrder::Unmap(uint32_t* values, size_t count) const {
    Walk<Way::Backward>(values, count);
}

} // namespace lumora
