// SPDX-License-Identifier: GPL-2.0-or-later
// A keyed bijection of [0, domain), computed per index: no table, a few hundred bytes of
// state whatever the domain. A Feistel network of kRounds rounds runs over the smallest
// number of bits (at least 2) that covers the domain, split into a high and a low part of
// half of them each (the low part gets the odd bit); values that land outside the domain go
// through the network again (cycle walking) until one lands inside, fewer than two passes
// on average. The round keys are the first 8 * kRounds bytes of ChaCha20 of the key.
// docs/FORMAT.md defines every step; the woven format's positions depend on it bit for bit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumora {

class PositionOrder {
public:
    static constexpr int kRounds = 4;
    static constexpr size_t kKeySize = 32;

    // key: kKeySize bytes. A domain of 0 maps nothing.
    PositionOrder(const uint8_t* key, uint64_t domain);
    ~PositionOrder();
    PositionOrder(const PositionOrder&) = default;
    PositionOrder& operator=(const PositionOrder&) = default;

    uint64_t Domain() const { return m_domain; }
    // Bits of the network's parts.
    unsigned HighBits() const { return m_highBits; }
    unsigned LowBits() const { return m_lowBits; }

    // The image of index, for index < Domain(); any other index comes back unchanged.
    uint64_t At(uint64_t index) const;
    // Replaces each of count values by its image, as At does, many at a time.
    void Map(uint64_t* values, size_t count) const;

private:
    // One pass of the network over m_highBits + m_lowBits bits.
    uint64_t Network(uint64_t value) const;

    std::array<uint64_t, kRounds> m_roundKeys{};
    uint64_t m_domain = 0;
    uint64_t m_lowMask = 1;
    unsigned m_highBits = 1;
    unsigned m_lowBits = 1;
};

} // namespace lumora
