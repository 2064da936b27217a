// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/UsableIndex.h"

#include "weave/FetchAhead.h"

#include <array>
#include <bit>

namespace lumora::weave {
namespace {

constexpr uint64_t kSampleEvery = 64;

// The set bits of a word. std::popcount becomes a call into the compiler's support library
// on processors not known to have the instruction, which a look-up per element cannot afford.
inline unsigned CountOnes(uint64_t word) {
    word -= (word >> 1) & 0x5555555555555555ULL;
    word = (word & 0x3333333333333333ULL) + ((word >> 2) & 0x3333333333333333ULL);
    word = (word + (word >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<unsigned>((word * 0x0101010101010101ULL) >> 56);
}

// Bit position of the n-th (from 0) set bit of each byte value.
constexpr std::array<std::array<uint8_t, 8>, 256> kSelectInByte = [] {
    std::array<std::array<uint8_t, 8>, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned n = 0;
        for (uint8_t bit = 0; bit < 8; ++bit)
            if ((byte >> bit) & 1)
                table[byte][n++] = bit;
    }
    return table;
}();

// The position of the n-th set bit of word, which has more than n.
unsigned SelectInWord(uint64_t word, unsigned n) {
    unsigned shift = 0;
    for (;; shift += 8) {
        const unsigned count = CountOnes((word >> shift) & 0xFF);
        if (n < count)
            return shift + kSelectInByte[(word >> shift) & 0xFF][n];
        n -= count;
    }
}

} // namespace

UsableIndex::UsableIndex(uint64_t elements) : m_count(elements) {}

UsableIndex::UsableIndex(uint64_t groups, uint32_t groupSize,
                         const std::function<bool(uint64_t)>& usable)
    : m_groupSize(groupSize) {
    std::vector<uint64_t> bits((groups + 63) / 64);
    std::vector<uint64_t> sample;
    uint64_t usableGroups = 0;
    for (uint64_t g = 0; g < groups; ++g) {
        if (!usable(g))
            continue;
        if (usableGroups % kSampleEvery == 0)
            sample.push_back(g);
        bits[g / 64] |= uint64_t{1} << (g % 64);
        ++usableGroups;
    }
    m_count = usableGroups * groupSize;
    if (usableGroups != groups) {
        m_bits = std::move(bits);
        m_sample = std::move(sample);
    }
}

uint64_t UsableIndex::Group(uint64_t usableGroup) const {
    const uint64_t start = m_sample[usableGroup / kSampleEvery];
    uint64_t left = usableGroup % kSampleEvery;
    size_t word = static_cast<size_t>(start / 64);
    uint64_t bits = m_bits[word] & (~uint64_t{0} << (start % 64));
    for (;;) {
        const uint64_t count = CountOnes(bits);
        if (left < count)
            return uint64_t{word} * 64 + SelectInWord(bits, static_cast<unsigned>(left));
        left -= count;
        bits = m_bits[++word];
    }
}

uint64_t UsableIndex::Element(uint64_t usable) const {
    if (m_bits.empty())
        return usable;
    return Group(usable / m_groupSize) * m_groupSize + usable % m_groupSize;
}

void UsableIndex::ElementsFrom(uint64_t first, size_t count, uint32_t* values) const {
    if (count == 0)
        return;
    if (m_bits.empty()) {
        for (size_t i = 0; i < count; ++i)
            values[i] = static_cast<uint32_t>(first + i);
        return;
    }
    uint64_t group = Group(first / m_groupSize);
    auto member = static_cast<uint32_t>(first % m_groupSize);
    for (size_t i = 0;;) {
        values[i] = static_cast<uint32_t>(group * m_groupSize + member);
        if (++i == count)
            return;
        if (++member == m_groupSize) {
            // The next usable group: there is one, as more usable indices follow.
            member = 0;
            size_t word = static_cast<size_t>((group + 1) / 64);
            uint64_t bits = m_bits[word] & (~uint64_t{0} << ((group + 1) % 64));
            while (bits == 0)
                bits = m_bits[++word];
            group = uint64_t{word} * 64 + static_cast<uint64_t>(std::countr_zero(bits));
        }
    }
}

void UsableIndex::Elements(uint32_t* values, size_t count) const {
    if (m_bits.empty())
        return;
    // Scattered indices miss the caches twice each, on the sampled place and then on the
    // word found there: both are fetched ahead, the word once its place has arrived.
    constexpr size_t kPlaceAhead = 32, kWordAhead = 16;
    const auto placeOf = [this](uint32_t usable) { return usable / m_groupSize / kSampleEvery; };
    for (size_t i = 0; i < count; ++i) {
        if (i + kPlaceAhead < count)
            FetchAhead(m_sample.data() + placeOf(values[i + kPlaceAhead]));
        if (i + kWordAhead < count)
            FetchAhead(m_bits.data() + m_sample[placeOf(values[i + kWordAhead])] / 64);
        values[i] = static_cast<uint32_t>(Element(values[i]));
    }
}

} // namespace lumora::weave
