// SPDX-License-Identifier: GPL-2.0-or-later
// The binary syndrome-trellis coder. The cover is a sequence of parity bits, each with a
// cost of flipping it (+infinity: the element is wet and never flips). Embedding finds the
// flips of least total cost whose parities y satisfy H * y = m, segment by segment (see
// TrellisLayout.h for H and the segments), the costs taken at the resolution of
// TrellisCosts.h; extraction computes m = H * y. Bits and parities are one per byte; any
// non-zero byte counts as 1.
//
// Memory while embedding: for the longest segment, its parities, its costs, the path bits
// of its forward pass (128 bytes per element, 8 MiB for 65536 elements) and its flips; the
// form that returns every flip at the end holds them all as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace lumora::weave {

enum class TrellisStatus : uint8_t {
    Ok,
    TooManyBits, // more message bits than cover elements
    InvalidCost, // a cost is negative or not a number
    Unsolvable,  // the wet elements of a segment leave no way to carry its bits
    NoMemory,
    Cancelled, // the cover's callback asked to stop
};

// Which forward pass runs; all choose the same flips. A kernel the processor lacks falls
// back to the next slower one.
enum class TrellisKernel : uint8_t { Fastest, Portable, Avx2, Avx512 };

bool Avx2KernelAvailable();
bool Avx512KernelAvailable();

struct TrellisResult {
    TrellisStatus status = TrellisStatus::Ok;
    double cost = 0;    // sum of the costs of the flipped elements
    size_t changes = 0; // flipped elements

    bool Ok() const { return status == TrellisStatus::Ok; }
};

// Fills the cover of the elements [begin, begin + parities.size()): their parities and the
// costs of flipping them. costs has the same size as parities. Returning false stops the
// work, which then ends as Cancelled.
using SegmentCover =
    std::function<bool(size_t begin, std::span<uint8_t> parities, std::span<float> costs)>;
// Takes the flips of the segment just embedded (absolute positions, ascending), before the
// next segment is asked for. Returning false stops the work, which then ends as Cancelled.
using SegmentFlips = std::function<bool(std::span<const size_t> flips)>;
// The same for extraction, which needs the parities alone.
using SegmentParities = std::function<bool(size_t begin, std::span<uint8_t> parities)>;

// Embeds messageBits into a cover of `elements` elements, asking `cover` for one segment at
// a time (never for a segment that carries no bits) and handing each segment's flips to
// `flips` as soon as they are known. On failure the segments before the failing one have
// been handed over; the result counts no changes.
TrellisResult EmbedParities(size_t elements, const SegmentCover& cover,
                            std::span<const uint8_t> messageBits, const SegmentFlips& flips,
                            TrellisKernel kernel = TrellisKernel::Fastest);

// The same, with every flip in `flipped` at the end, in ascending order; on failure it is
// empty.
TrellisResult EmbedParities(size_t elements, const SegmentCover& cover,
                            std::span<const uint8_t> messageBits, std::vector<size_t>& flipped,
                            TrellisKernel kernel = TrellisKernel::Fastest);

// The same for a cover held in memory; parities and costs have the same size.
TrellisResult EmbedParities(std::span<const uint8_t> parities, std::span<const float> costs,
                            std::span<const uint8_t> messageBits, std::vector<size_t>& flipped,
                            TrellisKernel kernel = TrellisKernel::Fastest);

// Replaces messageBits with the bitCount bits the parities carry. False (and messageBits
// empty) when bitCount exceeds the number of parities.
bool ExtractParities(std::span<const uint8_t> parities, size_t bitCount,
                     std::vector<uint8_t>& messageBits);

// The same for a cover of `elements` elements read one segment at a time (never a segment
// that carries no bits), so that no more than one segment's parities are held: Ok,
// TooManyBits, NoMemory or Cancelled; messageBits is empty unless Ok.
TrellisStatus ExtractParities(size_t elements, const SegmentParities& cover, size_t bitCount,
                              std::vector<uint8_t>& messageBits);

} // namespace lumora::weave
