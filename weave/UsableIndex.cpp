// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/UsableIndex.h"

#include <array>
#include <bit>

namespace lumora::weave {
namespace {

constexpr uint64_t kSampleEvery = 64;

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
        const auto count = static_cast<unsigned>(std::popcount((word >> shift) & 0xFF));
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
        const auto count = static_cast<uint64_t>(std::popcount(bits));
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

void UsableIndex::Elements(uint32_t* values, size_t count) const {
    if (m_bits.empty())
        return;
    for (size_t i = 0; i < count; ++i)
        values[i] = static_cast<uint32_t>(Element(values[i]));
}

} // namespace lumora::weave
