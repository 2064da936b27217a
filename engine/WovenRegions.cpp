// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/WovenRegions.h"

#include "crypt/WovenLayout.h"
#include "engine/OrderedParities.h"

#include <array>
#include <new>

namespace lumora {
namespace {

// The tie bits of ascending order indices, a window of the keyed stream at a time.
class TieBits {
public:
    explicit TieBits(const WovenKeys& keys) : m_keys(keys) {}

    bool At(uint64_t index) {
        if (!m_filled || index < m_first || index >= m_first + m_bits.size()) {
            m_first = index - index % m_bits.size();
            FillWovenTieBits(m_keys, m_first, m_bits.size(), m_bits.data());
            m_filled = true;
        }
        return m_bits[static_cast<size_t>(index - m_first)] != 0;
    }

private:
    const WovenKeys& m_keys;
    std::array<uint8_t, 4096> m_bits{};
    uint64_t m_first = 0;
    bool m_filled = false;
};

} // namespace

WovenRegion WovenSaltRegion() {
    return {0, kWovenSaltPositions};
}

WovenRegion WovenHeaderRegion() {
    return {kWovenHeaderStart, kWovenHeaderPositions};
}

WovenRegion WovenBodyRegion(uint64_t elements) {
    return {kWovenBodyStart, elements > kWovenBodyStart ? elements - kWovenBodyStart : 0};
}

weave::TrellisStatus EmbedRegion(weave::WovenCover& cover, const WovenOrder& order,
                                 const WovenKeys& keys, const OrderedParities& parities,
                                 const WovenRegion& region, std::span<const uint8_t> bits,
                                 const RegionProgress& progress, uint64_t& changes) try {
    // The segment asked for last: its elements, which its flips then change at once.
    std::vector<uint32_t> elements;
    size_t segmentBegin = 0;
    const weave::SegmentCover segmentCover = [&](size_t begin, std::span<uint8_t> segmentParities,
                                                 std::span<float> costs) {
        elements.resize(costs.size());
        segmentBegin = begin;
        if (!order.Fill(region.first + begin, elements.size(), elements.data()))
            return false;
        cover.FlipCosts(elements.data(), elements.size(), costs.data());
        parities.Unpack(region.first + begin, segmentParities.size(), segmentParities.data());
        return !progress || progress(region.first + begin + costs.size());
    };
    TieBits ties(keys);
    bool refused = false;
    const weave::SegmentFlips change = [&](std::span<const size_t> flips) {
        constexpr size_t kFetchAhead = 16; // changes
        for (size_t k = 0; k < flips.size(); ++k) {
            if (k + kFetchAhead < flips.size())
                cover.FetchForChange(elements[flips[k + kFetchAhead] - segmentBegin]);
            const size_t position = flips[k];
            const uint64_t index = region.first + position;
            if (!cover.ChangeElement(elements[position - segmentBegin], ties.At(index))) {
                refused = true;
                return false;
            }
        }
        return true;
    };
    const weave::TrellisResult result =
        weave::EmbedParities(static_cast<size_t>(region.positions), segmentCover, bits, change);
    if (refused)
        return weave::TrellisStatus::Unsolvable;
    if (!result.Ok())
        return result.status;
    changes += result.changes;
    return weave::TrellisStatus::Ok;
} catch (const std::bad_alloc&) {
    return weave::TrellisStatus::NoMemory;
}

weave::TrellisStatus ExtractRegion(const weave::WovenCover& cover, const WovenOrder& order,
                                   const WovenRegion& region, size_t bitCount,
                                   std::vector<uint8_t>& bits, const RegionProgress& progress) try {
    std::vector<uint32_t> usable;
    const weave::SegmentParities segmentParities = [&](size_t begin, std::span<uint8_t> parities) {
        usable.resize(parities.size());
        if (!order.Fill(region.first + begin, usable.size(), usable.data()))
            return false;
        cover.Parities(usable.data(), usable.size(), parities.data());
        return !progress || progress(region.first + begin + parities.size());
    };
    return weave::ExtractParities(static_cast<size_t>(region.positions), segmentParities, bitCount,
                                  bits);
} catch (const std::bad_alloc&) {
    return weave::TrellisStatus::NoMemory;
}

} // namespace lumora
