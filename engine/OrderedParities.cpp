// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/OrderedParities.h"

#include "weave/FetchAhead.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace lumora {
namespace {

// Elements read at a time: their parities and order indices stay in the first-level cache
// beside the lines of the map being written.
constexpr size_t kChunk = 4096;
// Elements between two reports of progress.
constexpr uint64_t kReportEvery = 16 * kChunk;

} // namespace

weave::TrellisStatus OrderedParities::Gather(const weave::WovenCover& cover,
                                             const WovenOrder& order,
                                             const RegionProgress& progress) try {
    const uint64_t elements = order.Elements();
    if (elements != cover.Count() || order.Placeable() != elements)
        return weave::TrellisStatus::Unsolvable;
    m_words.assign(static_cast<size_t>((elements + 63) / 64), 0);
    std::array<uint8_t, kChunk> parities;
    std::array<uint32_t, kChunk> indices;
    for (uint64_t first = 0; first < elements;) {
        const auto count = static_cast<size_t>(std::min<uint64_t>(kChunk, elements - first));
        cover.ParitiesInOrder(first, count, parities.data());
        if (!order.IndicesOf(first, count, indices.data()))
            return weave::TrellisStatus::Unsolvable;
        // The map's words are written all over: fetched a few ahead, their misses overlap.
        constexpr size_t kAhead = 16;
        for (size_t i = 0; i < count; ++i) {
            if (i + kAhead < count)
                weave::FetchAhead(m_words.data() + indices[i + kAhead] / 64);
            m_words[indices[i] / 64] |= uint64_t{parities[i]} << (indices[i] % 64);
        }
        first += count;
        if (progress && (first % kReportEvery == 0 || first == elements) && !progress(first))
            return weave::TrellisStatus::Cancelled;
    }
    return weave::TrellisStatus::Ok;
} catch (const std::bad_alloc&) {
    return weave::TrellisStatus::NoMemory;
}

void OrderedParities::Unpack(uint64_t first, size_t count, uint8_t* out) const {
    // Eight bits at a time from a byte boundary on, as eight bytes of 0 or 1.
    static const std::array<std::array<uint8_t, 8>, 256> kSpread = [] {
        std::array<std::array<uint8_t, 8>, 256> spread{};
        for (unsigned byte = 0; byte < 256; ++byte)
            for (unsigned bit = 0; bit < 8; ++bit)
                spread[byte][bit] = static_cast<uint8_t>((byte >> bit) & 1u);
        return spread;
    }();
    const auto bitAt = [this](uint64_t index) {
        return static_cast<uint8_t>((m_words[static_cast<size_t>(index / 64)] >> (index % 64)) & 1);
    };
    size_t i = 0;
    for (; i < count && (first + i) % 8 != 0; ++i)
        out[i] = bitAt(first + i);
    for (; i + 8 <= count; i += 8) {
        const uint64_t index = first + i;
        const auto byte =
            static_cast<uint8_t>(m_words[static_cast<size_t>(index / 64)] >> (index % 64));
        std::memcpy(out + i, kSpread[byte].data(), 8);
    }
    for (; i < count; ++i)
        out[i] = bitAt(first + i);
}

weave::TrellisStatus OrderedParities::Extract(const WovenRegion& region, size_t bitCount,
                                              std::vector<uint8_t>& bits) const {
    if (region.first + region.positions > 64 * uint64_t{m_words.size()})
        return weave::TrellisStatus::TooManyBits;
    const weave::SegmentParities fromMap = [&](size_t begin, std::span<uint8_t> parities) {
        Unpack(region.first + begin, parities.size(), parities.data());
        return true;
    };
    return weave::ExtractParities(static_cast<size_t>(region.positions), fromMap, bitCount, bits);
}

} // namespace lumora
