// SPDX-License-Identifier: GPL-2.0-or-later
// A keyed bijection of [0, domain), computed per index: no table, a few bytes of state
// whatever the domain. A Feistel network of kRounds rounds runs over the smallest number of
// bits (at least 2) that covers the domain, split into a high and a low part of half of them
// each (the low part gets the odd bit); values that land outside the domain go through the
// network again (cycle walking) until one lands inside, fewer than two passes on average.
// The round keys are the first 4 * kRounds bytes of ChaCha20 of the key. docs/FORMAT.md
// defines every step; the woven format's positions depend on it bit for bit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumora {

class PositionOrder {
public:
    static constexpr int kRounds = 4;
    static constexpr size_t kKeySize = 32;
    // Indices are 32-bit numbers.
    static constexpr uint64_t kMaxDomain = 0xFFFFFFFF;

    // key: kKeySize bytes. A domain of 0 maps nothing; one above kMaxDomain is cut to it.
    PositionOrder(const uint8_t* key, uint64_t domain);
    ~PositionOrder();
    PositionOrder(const PositionOrder&) = default;
    PositionOrder& operator=(const PositionOrder&) = default;

    uint64_t Domain() const { return m_domain; }

    // The image of index, for index < Domain(); any other index comes back unchanged.
    uint32_t At(uint32_t index) const;
    // Replaces each of count values by its image, as At does, many at a time (with AVX-512
    // or AVX2 where the processor has it: platform/VectorLevel.h).
    void Map(uint32_t* values, size_t count) const;

    // The index whose image is `image`: InverseAt(At(i)) == i. The network runs backwards and
    // the walk goes the other way round the same cycle. Any other value comes back unchanged.
    uint32_t InverseAt(uint32_t image) const;
    // Replaces each of count values by its preimage, as InverseAt does, many at a time.
    void Unmap(uint32_t* values, size_t count) const;

private:
    enum class Way : uint8_t { Forward, Backward };

    // One pass of the network over m_highBits + m_lowBits bits, or its inverse.
    template <Way way> uint32_t Network(uint32_t value) const;
    // One pass over each of count values.
    template <Way way> void NetworkAll(uint32_t* values, size_t count) const;
    template <Way way> void NetworkAllAvx2(uint32_t* values, size_t count) const;
    // A walk for each value, as At or InverseAt, side by side.
    template <Way way> void Walk(uint32_t* values, size_t count) const;
    template <Way way> void WalkAvx2(uint32_t* values, size_t count) const;
    template <Way way> void WalkAvx512(uint32_t* values, size_t count) const;
    template <Way way> uint32_t WalkOne(uint32_t value) const;

    std::array<uint32_t, kRounds> m_roundKeys{};
    uint64_t m_domain = 0;
    uint32_t m_lowMask = 1;
    unsigned m_highBits = 1;
    unsigned m_lowBits = 1;
};

} // namespace lumora
