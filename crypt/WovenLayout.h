// SPDX-License-Identifier: GPL-2.0-or-later
// The regions of a woven carrier and what they carry, as pure functions of the picture's
// counts. A picture lends N elements (their order is the picture reader's); the embedding
// order lists them once each and is cut into three regions:
//
//   order index [0, S)          the salt: 128 bits, one per 32 positions (S = 4096)
//   order index [S, S + H)      the sealed header: 320 bits, one per 32 positions (H = 10240)
//   order index [S + H, N)      the sealed body: every remaining position, at the rate its
//                               length gives, one bit per position at the very most
//
// Capacity is the archive a picture should carry: one bit per ten counted elements (the
// caller counts the non-zero AC coefficients of a JPEG, the usable samples of a picture of
// pixels), less the salt, the sealed header and the body's tag.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumora {

constexpr uint64_t kWovenPositionsPerFixedBit = 32;
constexpr uint64_t kWovenSaltBits = 128;
constexpr uint64_t kWovenSaltPositions = kWovenSaltBits * kWovenPositionsPerFixedBit;
constexpr size_t kWovenHeaderSize = 24;
constexpr size_t kWovenTagSize = 16;
constexpr size_t kWovenSealedHeaderSize = kWovenHeaderSize + kWovenTagSize;
constexpr uint64_t kWovenHeaderBits = 8 * kWovenSealedHeaderSize;
constexpr uint64_t kWovenHeaderPositions = kWovenHeaderBits * kWovenPositionsPerFixedBit;
constexpr uint64_t kWovenHeaderStart = kWovenSaltPositions;
constexpr uint64_t kWovenBodyStart = kWovenHeaderStart + kWovenHeaderPositions;

// The coder's limit: it carries at most one bit per position (weave/TrellisCoder.h), so a
// body region of n positions carries at most n bits.
constexpr uint64_t kWovenPositionsPerLimitBit = 1;
// The ceiling: floor(count / 10) bits for a count of elements.
constexpr uint64_t kWovenElementsPerCeilingBit = 10;

// Bytes the format adds to the archive: salt, sealed header, body tag.
constexpr uint64_t kWovenOverhead = kWovenSaltBits / 8 + kWovenSealedHeaderSize + kWovenTagSize;

// The smallest picture: its body region carries the tag and one byte at the coder's limit.
constexpr uint64_t kWovenMinElements =
    kWovenBodyStart + 8 * (kWovenTagSize + 1) * kWovenPositionsPerLimitBit;

// Element indices are 32-bit numbers.
constexpr uint64_t kWovenMaxElements = 0xFFFFFFFF;

enum class WovenFit {
    Fits,
    // Fewer than kWovenMinElements elements.
    TooSmall,
    // More than kWovenMaxElements elements.
    TooLarge,
};

struct WovenLayout {
    WovenFit fit = WovenFit::TooSmall;
    uint64_t elements = 0;
    // Positions of the body region, N - S - H; 0 when the picture does not fit.
    uint64_t bodyPositions = 0;
    // Archive bytes under the ceiling (never above limitBytes), and the most the coder can
    // carry at all; both 0 when the picture does not fit.
    uint64_t capacityBytes = 0;
    uint64_t limitBytes = 0;
};

// The layout of a picture of elements elements, with ceilingCount the count the ceiling
// applies to.
WovenLayout LayoutWoven(uint64_t elements, uint64_t ceilingCount);

// Bits the body region carries for an archive of archiveLength bytes: the archive and its tag.
uint64_t WovenBodyBits(uint64_t archiveLength);

} // namespace lumora
