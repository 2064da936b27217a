// SPDX-License-Identifier: GPL-2.0-or-later
// Carrying bits in one region of a woven carrier's embedding order, and reading them back.
// A region is a run of order indices; the order names the usable element behind each, and
// the trellis coder works over the region one segment at a time, so the positions, parities
// and costs of one segment at most are held at once.
#pragma once

#include "crypt/WovenKeys.h"
#include "crypt/WovenOrder.h"
#include "weave/TrellisCoder.h"
#include "weave/WovenCover.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace lumora {

class OrderedParities;

struct WovenRegion {
    uint64_t first = 0;     // order index
    uint64_t positions = 0; // order indices in the region
};

WovenRegion WovenSaltRegion();
WovenRegion WovenHeaderRegion();
// The body: every order index after the header, up to `elements`.
WovenRegion WovenBodyRegion(uint64_t elements);

// Hears how far the work has come, as the order index reached; false cancels it.
using RegionProgress = std::function<bool(uint64_t reached)>;

// Embeds bits (one per byte) into region of cover along order and makes the changes, each
// the cheaper way, or where both cost the same the way the tie bit of its order index says;
// a segment's changes are made as soon as the coder has found them, so a failure may leave
// earlier segments changed. The status of the coder: Ok, TooManyBits, Unsolvable (also when
// the cover refuses a change), NoMemory, Cancelled. changes counts the elements changed.
// Costs must be prepared; parities are the cover's under order, gathered before any region
// was embedded (a change only touches elements the coder has finished with).
weave::TrellisStatus EmbedRegion(weave::WovenCover& cover, const WovenOrder& order,
                                 const WovenKeys& keys, const OrderedParities& parities,
                                 const WovenRegion& region, std::span<const uint8_t> bits,
                                 const RegionProgress& progress, uint64_t& changes);

// The bitCount bits region carries, into bits (one per byte): Ok, TooManyBits, NoMemory or
// Cancelled.
weave::TrellisStatus ExtractRegion(const weave::WovenCover& cover, const WovenOrder& order,
                                   const WovenRegion& region, size_t bitCount,
                                   std::vector<uint8_t>& bits, const RegionProgress& progress);

} // namespace lumora
