// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/PositionOrder.h"

#include <algorithm>
#include <bit>
#include <sodium.h>

namespace lumora {
namespace {

// Odd multipliers of the round function.
constexpr uint64_t kMixFirst = 0x9E3779B97F4A7C15;
constexpr uint64_t kMixSecond = 0xBF58476D1CE4E5B9;

static_assert(PositionOrder::kKeySize == crypto_stream_chacha20_KEYBYTES);
static_assert(PositionOrder::kRounds % 2 == 0, "rounds go in pairs, one of each width");

// The round function: two multiplications with a fold between them, of which the top
// outBits bits are kept, where every input bit has reached.
inline uint64_t Round(uint64_t half, uint64_t roundKey, unsigned outBits) {
    uint64_t mixed = (half ^ roundKey) * kMixFirst;
    mixed ^= mixed >> 32;
    mixed *= kMixSecond;
    return mixed >> (64 - outBits);
}

// Indices a block of Fill walks side by side.
constexpr size_t kBlock = 1024;

} // namespace

PositionOrder::PositionOrder(const uint8_t* key, uint64_t domain) : m_domain(domain) {
    const unsigned bits = std::max(2u, static_cast<unsigned>(std::bit_width(domain - 1)));
    m_highBits = bits / 2;
    m_lowBits = bits - m_highBits;
    m_lowMask = (uint64_t{1} << m_lowBits) - 1;

    uint8_t stream[8 * kRounds];
    const uint8_t nonce[crypto_stream_chacha20_NONCEBYTES] = {};
    crypto_stream_chacha20(stream, sizeof stream, nonce, key);
    for (size_t round = 0; round < kRounds; ++round) {
        uint64_t word = 0;
        for (size_t i = 8; i-- > 0;)
            word = (word << 8) | stream[8 * round + i];
        m_roundKeys[round] = word;
    }
    sodium_memzero(stream, sizeof stream);
}

PositionOrder::~PositionOrder() {
    sodium_memzero(m_roundKeys.data(), sizeof m_roundKeys);
}

uint64_t PositionOrder::Network(uint64_t value) const {
    // Rounds alternate: an even one changes the high part from the low one, an odd one the
    // low part from the high one.
    uint64_t high = value >> m_lowBits;
    uint64_t low = value & m_lowMask;
    for (size_t round = 0; round < kRounds; round += 2) {
        high ^= Round(low, m_roundKeys[round], m_highBits);
        low ^= Round(high, m_roundKeys[round + 1], m_lowBits);
    }
    return (high << m_lowBits) | low;
}

uint64_t PositionOrder::At(uint64_t index) const {
    if (index >= m_domain)
        return index;
    // The walk ends: the cycle through index holds index itself, which lies inside.
    uint64_t value = Network(index);
    while (value >= m_domain)
        value = Network(value);
    return value;
}

void PositionOrder::Map(uint64_t* values, size_t count) const {
    // The same walks as At, side by side: independent passes keep the multipliers busy,
    // where one walk at a time waits on each pass and mispredicts where it ends.
    uint32_t walking[kBlock];
    for (size_t start = 0; start < count; start += kBlock) {
        const size_t size = std::min(kBlock, count - start);
        uint64_t* block = values + start;
        size_t pending = 0;
        for (size_t i = 0; i < size; ++i) {
            walking[pending] = static_cast<uint32_t>(i);
            pending += block[i] < m_domain;
        }
        while (pending > 0) {
            for (size_t i = 0; i < pending; ++i)
                block[walking[i]] = Network(block[walking[i]]);
            size_t kept = 0;
            for (size_t i = 0; i < pending; ++i) {
                walking[kept] = walking[i];
                kept += block[walking[i]] >= m_domain;
            }
            pending = kept;
        }
    }
}

} // namespace lumora
