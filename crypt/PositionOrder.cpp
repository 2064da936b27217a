// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/PositionOrder.h"

#include "platform/ByteOrder.h"
#include "platform/VectorIntrinsics.h"
#include "platform/VectorLevel.h"

#include <algorithm>
#include <bit>
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

// The network's keys and widths in vector registers.
struct NetworkVectors {
    __m256i lowMask;
    __m128i lowShift;
    __m128i highOut; // 32 - the high part's bits
    __m128i lowOut;
    __m256i keys[PositionOrder::kRounds];
};

__attribute__((target("avx2"), always_inline)) inline NetworkVectors
MakeNetworkVectors(const std::array<uint32_t, PositionOrder::kRounds>& roundKeys, uint32_t lowMask,
                   unsigned highBits, unsigned lowBits) {
    NetworkVectors network;
    network.lowMask = _mm256_set1_epi32(static_cast<int>(lowMask));
    network.lowShift = _mm_cvtsi32_si128(static_cast<int>(lowBits));
    network.highOut = _mm_cvtsi32_si128(static_cast<int>(32 - highBits));
    network.lowOut = _mm_cvtsi32_si128(static_cast<int>(32 - lowBits));
    for (size_t round = 0; round < PositionOrder::kRounds; ++round)
        network.keys[round] = _mm256_set1_epi32(static_cast<int>(roundKeys[round]));
    return network;
}

// One pass of the network over eight values, forwards or backwards.
template <bool forward>
__attribute__((target("avx2"), always_inline)) inline __m256i PassAvx2(const NetworkVectors& n,
                                                                       __m256i value) {
    constexpr size_t kRounds = PositionOrder::kRounds;
    __m256i high = _mm256_srl_epi32(value, n.lowShift);
    __m256i low = _mm256_and_si256(value, n.lowMask);
    if constexpr (forward) {
        for (size_t r = 0; r < kRounds; r += 2) {
            high = _mm256_xor_si256(high, RoundAvx2(low, n.keys[r], n.highOut));
            low = _mm256_xor_si256(low, RoundAvx2(high, n.keys[r + 1], n.lowOut));
        }
    } else {
        for (size_t r = kRounds; r > 0; r -= 2) {
            low = _mm256_xor_si256(low, RoundAvx2(high, n.keys[r - 1], n.lowOut));
            high = _mm256_xor_si256(high, RoundAvx2(low, n.keys[r - 2], n.highOut));
        }
    }
    return _mm256_or_si256(_mm256_sll_epi32(high, n.lowShift), low);
}

// Round on the values in the low halves of two 64-bit lanes, with SSE2 alone (which has no
// 32-bit multiply); outShift holds 32 - outBits. The 64-bit multiply takes each lane's low
// half and leaves the low 32 bits of the product there; the high halves fill with bits
// that nothing reads, as every other step works on 32-bit lanes.
inline __m128i RoundSse2(__m128i part, __m128i roundKey, __m128i outShift) {
    __m128i mixed =
        _mm_mul_epu32(_mm_xor_si128(part, roundKey), _mm_set1_epi32(static_cast<int>(kMixFirst)));
    mixed = _mm_xor_si128(mixed, _mm_srli_epi32(mixed, 16));
    mixed = _mm_mul_epu32(mixed, _mm_set1_epi32(static_cast<int>(kMixSecond)));
    return _mm_srl_epi32(mixed, outShift);
}

// The SSE2 network's keys and widths in vector registers.
struct NetworkSse2 {
    __m128i lowMask;
    __m128i lowShift;
    __m128i highOut; // 32 - the high part's bits
    __m128i lowOut;
    __m128i keys[PositionOrder::kRounds];
};

// One pass of the network over the values in the low halves of two 64-bit lanes.
template <bool forward> inline __m128i PassSse2(const NetworkSse2& n, __m128i value) {
    constexpr size_t kRounds = PositionOrder::kRounds;
    __m128i high = _mm_srl_epi32(value, n.lowShift);
    __m128i low = _mm_and_si128(value, n.lowMask);
    if constexpr (forward) {
        for (size_t r = 0; r < kRounds; r += 2) {
            high = _mm_xor_si128(high, RoundSse2(low, n.keys[r], n.highOut));
            low = _mm_xor_si128(low, RoundSse2(high, n.keys[r + 1], n.lowOut));
        }
    } else {
        for (size_t r = kRounds; r > 0; r -= 2) {
            low = _mm_xor_si128(low, RoundSse2(high, n.keys[r - 1], n.lowOut));
            high = _mm_xor_si128(high, RoundSse2(low, n.keys[r - 2], n.highOut));
        }
    }
    return _mm_or_si128(_mm_sll_epi32(high, n.lowShift), low);
}

// One pass of the network over each whole group of four of count values, as PassAvx2 does
// eight; the number of values passed. The even and the odd lanes go through the rounds
// apart, each in the low halves of 64-bit lanes, and are put together at the end.
template <bool forward>
size_t PassesSse2(const std::array<uint32_t, PositionOrder::kRounds>& roundKeys, uint32_t lowMask,
                  unsigned highBits, unsigned lowBits, uint32_t* values, size_t count) {
    NetworkSse2 network;
    network.lowMask = _mm_set1_epi32(static_cast<int>(lowMask));
    network.lowShift = _mm_cvtsi32_si128(static_cast<int>(lowBits));
    network.highOut = _mm_cvtsi32_si128(static_cast<int>(32 - highBits));
    network.lowOut = _mm_cvtsi32_si128(static_cast<int>(32 - lowBits));
    for (size_t round = 0; round < PositionOrder::kRounds; ++round)
        network.keys[round] = _mm_set1_epi32(static_cast<int>(roundKeys[round]));
    const __m128i lowHalves = _mm_set_epi32(0, -1, 0, -1);
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        auto* at = reinterpret_cast<__m128i*>(values + i);
        const __m128i value = _mm_loadu_si128(at);
        const __m128i even = PassSse2<forward>(network, value);
        const __m128i odd = PassSse2<forward>(network, _mm_srli_epi64(value, 32));
        _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(even, lowHalves), _mm_slli_epi64(odd, 32)));
    }
    return i;
}

// For each mask of eight lanes, the numbers of its set lanes first, in order.
struct LeftPackTable {
    uint8_t lanes[256][8];
};

constexpr LeftPackTable MakeLeftPackTable() {
    LeftPackTable table{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        unsigned taken = 0;
        for (unsigned lane = 0; lane < 8; ++lane)
            if ((mask >> lane & 1) != 0)
                table.lanes[mask][taken++] = static_cast<uint8_t>(lane);
    }
    return table;
}

constexpr LeftPackTable kLeftPack = MakeLeftPackTable();

// Stores the lanes of values and slots that mask sets, side by side from the start of
// toValues and toSlots; the eight places after them may be overwritten.
__attribute__((target("avx2"), always_inline)) inline void
LeftPack(unsigned mask, __m256i values, __m256i slots, uint32_t* toValues, uint32_t* toSlots) {
    const __m256i lanes = _mm256_cvtepu8_epi32(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kLeftPack.lanes[mask])));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(toValues),
                        _mm256_permutevar8x32_epi32(values, lanes));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(toSlots),
                        _mm256_permutevar8x32_epi32(slots, lanes));
}

// The same on sixteen values with AVX-512.
__attribute__((target("avx512f"), always_inline)) inline __m512i
RoundAvx512(__m512i part, __m512i roundKey, __m128i outShift) {
    const __m512i mixFirst = _mm512_set1_epi32(static_cast<int>(kMixFirst));
    const __m512i mixSecond = _mm512_set1_epi32(static_cast<int>(kMixSecond));
    __m512i mixed = _mm512_mullo_epi32(_mm512_xor_si512(part, roundKey), mixFirst);
    mixed = _mm512_xor_si512(mixed, _mm512_srli_epi32(mixed, 16));
    mixed = _mm512_mullo_epi32(mixed, mixSecond);
    return _mm512_srl_epi32(mixed, outShift);
}

struct NetworkVectors512 {
    __m512i lowMask;
    __m128i lowShift;
    __m128i highOut;
    __m128i lowOut;
    __m512i keys[PositionOrder::kRounds];
};

__attribute__((target("avx512f"), always_inline)) inline NetworkVectors512
MakeNetworkVectors512(const std::array<uint32_t, PositionOrder::kRounds>& roundKeys,
                      uint32_t lowMask, unsigned highBits, unsigned lowBits) {
    NetworkVectors512 network;
    network.lowMask = _mm512_set1_epi32(static_cast<int>(lowMask));
    network.lowShift = _mm_cvtsi32_si128(static_cast<int>(lowBits));
    network.highOut = _mm_cvtsi32_si128(static_cast<int>(32 - highBits));
    network.lowOut = _mm_cvtsi32_si128(static_cast<int>(32 - lowBits));
    for (size_t round = 0; round < PositionOrder::kRounds; ++round)
        network.keys[round] = _mm512_set1_epi32(static_cast<int>(roundKeys[round]));
    return network;
}

template <bool forward>
__attribute__((target("avx512f"), always_inline)) inline __m512i
PassAvx512(const NetworkVectors512& n, __m512i value) {
    constexpr size_t kRounds = PositionOrder::kRounds;
    __m512i high = _mm512_srl_epi32(value, n.lowShift);
    __m512i low = _mm512_and_si512(value, n.lowMask);
    if constexpr (forward) {
        for (size_t r = 0; r < kRounds; r += 2) {
            high = _mm512_xor_si512(high, RoundAvx512(low, n.keys[r], n.highOut));
            low = _mm512_xor_si512(low, RoundAvx512(high, n.keys[r + 1], n.lowOut));
        }
    } else {
        for (size_t r = kRounds; r > 0; r -= 2) {
            low = _mm512_xor_si512(low, RoundAvx512(high, n.keys[r - 1], n.lowOut));
            high = _mm512_xor_si512(high, RoundAvx512(low, n.keys[r - 2], n.highOut));
        }
    }
    return _mm512_or_si512(_mm512_sll_epi32(high, n.lowShift), low);
}

// Stores the lanes of values that mask sets side by side from `to`; the sixteen places from
// `to` on may be overwritten. (Compressing in a register and storing whole is far quicker
// than compressing into memory on some processors.)
__attribute__((target("avx512f"), always_inline)) inline void
CompressTo(__mmask16 mask, __m512i values, uint32_t* to) {
    _mm512_storeu_si512(to, _mm512_maskz_compress_epi32(mask, values));
}

// Indices Map walks side by side.
constexpr size_t kBlock = 1024;
// Below this many indices the vector walk's setup costs more than it saves.
constexpr size_t kFewForVectors = 64;

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
    const NetworkVectors network =
        MakeNetworkVectors(m_roundKeys, m_lowMask, m_highBits, m_lowBits);
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        auto* at = reinterpret_cast<__m256i*>(values + i);
        _mm256_storeu_si256(at, PassAvx2<way == Way::Forward>(network, _mm256_loadu_si256(at)));
    }
    for (; i < count; ++i)
        values[i] = Network<way>(values[i]);
}

template <PositionOrder::Way way>
void PositionOrder::NetworkAll(uint32_t* values, size_t count) const {
    if (CanUseVectors(VectorLevel::Avx2)) {
        NetworkAllAvx2<way>(values, count);
        return;
    }
    const size_t passed = PassesSse2<way == Way::Forward>(m_roundKeys, m_lowMask, m_highBits,
                                                          m_lowBits, values, count);
    for (size_t i = passed; i < count; ++i)
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

template <PositionOrder::Way way>
__attribute__((target("avx2"))) void PositionOrder::WalkAvx2(uint32_t* values, size_t count) const {
    const NetworkVectors network =
        MakeNetworkVectors(m_roundKeys, m_lowMask, m_highBits, m_lowBits);
    // value >= m_domain, unsigned, as a signed comparison with the top bits flipped.
    const __m256i flip = _mm256_set1_epi32(INT32_MIN);
    const __m256i last =
        _mm256_set1_epi32(static_cast<int>(static_cast<uint32_t>(m_domain - 1) ^ 0x80000000u));
    const auto outside = [&](__m256i value) __attribute__((target("avx2"), always_inline)) {
        return _mm256_cmpgt_epi32(_mm256_xor_si256(value, flip), last);
    };
    const auto maskOf = [](__m256i lanes) __attribute__((target("avx2"), always_inline)) {
        return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(lanes)));
    };
    const __m256i firstLanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    alignas(32) uint32_t walking[kBlock + 8];
    alignas(32) uint32_t slot[kBlock + 8];
    alignas(32) uint32_t passed[8];
    alignas(32) uint32_t passedSlot[8];
    for (size_t start = 0; start < count; start += kBlock) {
        const size_t size = std::min(kBlock, count - start);
        uint32_t* block = values + start;
        // The first pass runs over the block in place; the walks that go on are packed into
        // a dense list.
        size_t pending = 0;
        size_t i = 0;
        for (; i + 8 <= size; i += 8) {
            auto* at = reinterpret_cast<__m256i*>(block + i);
            const __m256i value = _mm256_loadu_si256(at);
            const __m256i before = outside(value);
            const __m256i image = PassAvx2<way == Way::Forward>(network, value);
            _mm256_storeu_si256(at, _mm256_blendv_epi8(image, value, before));
            const unsigned goOn = maskOf(_mm256_andnot_si256(before, outside(image)));
            LeftPack(goOn, image,
                     _mm256_add_epi32(firstLanes, _mm256_set1_epi32(static_cast<int>(i))),
                     walking + pending, slot + pending);
            pending += static_cast<size_t>(std::popcount(goOn));
        }
        for (; i < size; ++i) {
            if (block[i] >= m_domain)
                continue;
            block[i] = Network<way>(block[i]);
            walking[pending] = block[i];
            slot[pending] = static_cast<uint32_t>(i);
            pending += block[i] >= m_domain;
        }
        // Later passes over the list, which keeps the walks that go on at its front.
        while (pending > 0) {
            std::fill_n(walking + pending, 8, 0u);
            std::fill_n(slot + pending, 8, 0u);
            size_t kept = 0;
            for (size_t k = 0; k < pending; k += 8) {
                const __m256i slots = _mm256_load_si256(reinterpret_cast<const __m256i*>(slot + k));
                const __m256i image = PassAvx2<way == Way::Forward>(
                    network, _mm256_load_si256(reinterpret_cast<const __m256i*>(walking + k)));
                const unsigned valid = pending - k >= 8 ? 0xFFu : (1u << (pending - k)) - 1;
                const unsigned goOn = maskOf(outside(image)) & valid;
                _mm256_store_si256(reinterpret_cast<__m256i*>(passed), image);
                _mm256_store_si256(reinterpret_cast<__m256i*>(passedSlot), slots);
                // Every walk's latest value goes to its place: the last one stored is where
                // it landed. A fixed count of stores, where picking the landed lanes would
                // mispredict.
                const size_t lanes = std::min<size_t>(8, pending - k);
                for (size_t lane = 0; lane < lanes; ++lane)
                    block[passedSlot[lane]] = passed[lane];
                // kept <= k: the packed lanes never reach a part of the list not yet read.
                LeftPack(goOn, image, slots, walking + kept, slot + kept);
                kept += static_cast<size_t>(std::popcount(goOn));
            }
            pending = kept;
        }
    }
}

template <PositionOrder::Way way>
__attribute__((target("avx512f"))) void PositionOrder::WalkAvx512(uint32_t* values,
                                                                  size_t count) const {
    const NetworkVectors512 network =
        MakeNetworkVectors512(m_roundKeys, m_lowMask, m_highBits, m_lowBits);
    const __m512i last = _mm512_set1_epi32(static_cast<int>(static_cast<uint32_t>(m_domain - 1)));
    const auto outside = [&](__m512i value) __attribute__((target("avx512f"), always_inline)) {
        return _mm512_cmpgt_epu32_mask(value, last);
    };
    const __m512i firstLanes =
        _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    alignas(64) uint32_t walking[kBlock + 16];
    alignas(64) uint32_t slot[kBlock + 16];
    for (size_t start = 0; start < count; start += kBlock) {
        const size_t size = std::min(kBlock, count - start);
        uint32_t* block = values + start;
        // As WalkAvx2: a first pass in place, then passes over a dense list of the walks
        // that go on.
        size_t pending = 0;
        size_t i = 0;
        for (; i + 16 <= size; i += 16) {
            const __m512i value = _mm512_loadu_si512(block + i);
            const __mmask16 before = outside(value);
            const __m512i image = PassAvx512<way == Way::Forward>(network, value);
            _mm512_storeu_si512(block + i, _mm512_mask_blend_epi32(before, image, value));
            const __mmask16 goOn = static_cast<__mmask16>(~before & outside(image));
            CompressTo(goOn, image, walking + pending);
            CompressTo(goOn, _mm512_add_epi32(firstLanes, _mm512_set1_epi32(static_cast<int>(i))),
                       slot + pending);
            pending += static_cast<size_t>(std::popcount(static_cast<unsigned>(goOn)));
        }
        for (; i < size; ++i) {
            if (block[i] >= m_domain)
                continue;
            block[i] = Network<way>(block[i]);
            walking[pending] = block[i];
            slot[pending] = static_cast<uint32_t>(i);
            pending += block[i] >= m_domain;
        }
        while (pending > 0) {
            size_t kept = 0;
            for (size_t k = 0; k < pending; k += 16) {
                const __mmask16 valid = pending - k >= 16
                                            ? __mmask16{0xFFFF}
                                            : static_cast<__mmask16>((1u << (pending - k)) - 1);
                const __m512i slots = _mm512_maskz_loadu_epi32(valid, slot + k);
                const __m512i image = PassAvx512<way == Way::Forward>(
                    network, _mm512_maskz_loadu_epi32(valid, walking + k));
                // Every walk's latest value goes to its place: the last one stored is where
                // it landed.
                _mm512_mask_i32scatter_epi32(block, valid, slots, image, 4);
                // kept <= k: the packed lanes never reach a part of the list not yet read.
                const __mmask16 goOn = static_cast<__mmask16>(outside(image) & valid);
                CompressTo(goOn, image, walking + kept);
                CompressTo(goOn, slots, slot + kept);
                kept += static_cast<size_t>(std::popcount(static_cast<unsigned>(goOn)));
            }
            pending = kept;
        }
    }
}

template <PositionOrder::Way way> void PositionOrder::Walk(uint32_t* values, size_t count) const {
    if (m_domain == 0)
        return;
    if (CanUseVectors(VectorLevel::Avx512) && count >= kFewForVectors) {
        WalkAvx512<way>(values, count);
        return;
    }
    if (CanUseVectors(VectorLevel::Avx2) && count >= kFewForVectors) {
        WalkAvx2<way>(values, count);
        return;
    }
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
