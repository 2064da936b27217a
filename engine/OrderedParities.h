// SPDX-License-Identifier: GPL-2.0-or-later
// The parities of a woven cover by order index, for reading: bit j is the parity of the
// element that order index j names. They are gathered in the order the picture holds its
// elements, each element's order index worked out backwards through the embedding order, so
// the picture's data is read once from start to end and only this map (one bit per element)
// is written all over. Reading the elements by order index instead meets a cache miss at
// nearly every element, since the order scatters them over the whole picture.
#pragma once

#include "crypt/WovenOrder.h"
#include "engine/WovenRegions.h"
#include "weave/TrellisCoder.h"
#include "weave/WovenCover.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumora {

class OrderedParities {
public:
    // Reads every parity of cover under order, which must have the position key and as
    // many elements as cover: Ok, NoMemory, Cancelled (progress hears the elements read),
    // or Unsolvable when order cannot be walked backwards (no key, another element count).
    weave::TrellisStatus Gather(const weave::WovenCover& cover, const WovenOrder& order,
                                const RegionProgress& progress);

    // The parities of order indices first ... first + count - 1, one byte each, into out.
    void Unpack(uint64_t first, size_t count, uint8_t* out) const;

    // The bitCount bits region carries, into bits (one per byte), as ExtractRegion reads
    // them from the cover: Ok, TooManyBits or NoMemory.
    weave::TrellisStatus Extract(const WovenRegion& region, size_t bitCount,
                                 std::vector<uint8_t>& bits) const;

private:
    std::vector<uint64_t> m_words;
};

} // namespace lumora
