// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/TrellisCoder.h"

#include "weave/FetchAhead.h"
#include "weave/TrellisCosts.h"
#include "weave/TrellisForward.h"
#include "weave/TrellisLayout.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

namespace lumora::weave {
namespace {

// The two submatrices a segment uses (its blocks are w or w + 1 columns wide) and the
// columns of its last blocks, whose windows reach past the segment's last row.
class SegmentColumns {
public:
    SegmentColumns(size_t length, size_t bits)
        : length_(length), bits_(bits), narrowWidth_(length / bits),
          narrow_(SubmatrixColumns(narrowWidth_)), wide_(SubmatrixColumns(narrowWidth_ + 1)) {
        clipped_.reserve(narrowWidth_ + 1);
    }

    size_t Start(size_t bit) const { return BlockStart(length_, bits_, bit); }

    // Column words of block `bit`, `width` columns wide (its end's Start less its own), cut to
    // the rows the segment has. Valid until the next call.
    const uint16_t* Block(size_t bit, size_t width) {
        const uint16_t* columns = width == narrowWidth_ ? narrow_.data() : wide_.data();
        const size_t rowsLeft = bits_ - bit;
        if (rowsLeft >= kTrellisHeight)
            return columns;
        const unsigned mask = (1u << rowsLeft) - 1;
        clipped_.assign(columns, columns + width);
        for (uint16_t& column : clipped_)
            column = static_cast<uint16_t>(column & mask);
        return clipped_.data();
    }

private:
    size_t length_;
    size_t bits_;
    size_t narrowWidth_;
    std::vector<uint16_t> narrow_;
    std::vector<uint16_t> wide_;
    std::vector<uint16_t> clipped_;
};

struct alignas(64) StateCosts {
    int16_t a[kTrellisStates];
    int16_t b[kTrellisStates];
};

class SegmentEmbedder {
public:
    SegmentEmbedder(size_t maxLength, ForwardPass pass)
        : pass_(pass), parities_(maxLength), costs_(maxLength), units_(maxLength),
          path_(maxLength * kPathWordsPerColumn), states_(std::make_unique<StateCosts>()) {}

    // Embeds the segment's bits and hands its flips (absolute positions, ascending) on.
    TrellisStatus Embed(const TrellisSegment& segment, const SegmentCover& cover,
                        std::span<const uint8_t> bits, const SegmentFlips& flips,
                        TrellisResult& result) {
        const std::span<uint8_t> parities(parities_.data(), segment.length);
        const std::span<float> costs(costs_.data(), segment.length);
        if (!cover(segment.begin, parities, costs))
            return TrellisStatus::Cancelled;
        for (const float cost : costs) {
            if (!(cost >= 0.0f))
                return TrellisStatus::InvalidCost;
        }
        SegmentColumns columns(segment.length, bits.size());
        ScaleCosts(costs, CostScale(costs), units_.data());
        if (Forward(columns, bits) == kUnreachableCost)
            return TrellisStatus::Unsolvable;
        flipped_.clear();
        Backtrack(columns, bits, segment.begin, flipped_);
        std::reverse(flipped_.begin(), flipped_.end());
        for (const size_t position : flipped_)
            result.cost += costs_[position - segment.begin];
        result.changes += flipped_.size();
        return flips(flipped_) ? TrellisStatus::Ok : TrellisStatus::Cancelled;
    }

private:
    // Returns the least cost that carries the bits.
    int16_t Forward(SegmentColumns& columns, std::span<const uint8_t> bits) {
        int16_t* current = states_->a;
        std::fill(current, current + kTrellisStates, kUnreachableCost);
        current[0] = 0;
        // Each block starts where the one before ends: one division a block.
        for (size_t bit = 0, start = 0, end = 0; bit < bits.size(); ++bit, start = end) {
            end = columns.Start(bit + 1);
            ForwardColumns block;
            block.columns = columns.Block(bit, end - start);
            block.parities = parities_.data() + start;
            block.costs = units_.data() + start;
            block.count = end - start;
            block.path = path_.data() + start * kPathWordsPerColumn;
            // The previous block's row goes out as this block starts.
            current = bit != 0
                          ? pass_.blockStart(current, Other(current), bits[bit - 1] != 0, block)
                          : pass_.columns(current, Other(current), block);
        }
        // The last row goes out too: state 0 after it is the state of the last bit before.
        return current[bits.back() != 0 ? 1 : 0];
    }

    void Backtrack(SegmentColumns& columns, std::span<const uint8_t> bits, size_t begin,
                   std::vector<size_t>& flipped) const {
        // Each column's bit decides the state the column before is read at, and a coin toss
        // decides the bit. So that the walk does not wait on one read after another, the
        // column before is read at both states this column can leave, before this column's
        // bit is known; the bit then picks one, without a branch. The path bits are fetched
        // a few columns ahead.
        constexpr size_t kAhead = 16;
        constexpr unsigned kStateMask = kTrellisStates - 1;
        size_t bit = bits.size() - 1;
        size_t start = columns.Start(bit);
        const uint16_t* words = columns.Block(bit, columns.Start(bit + 1) - start);
        size_t j = columns.Start(bit + 1) - 1;
        // The last row goes out as the walk starts: state 0 after it.
        unsigned state = bits[bit] != 0 ? 1u : 0u;
        unsigned one = PathBit(path_.data() + j * kPathWordsPerColumn, state) ? 1u : 0u;
        for (;;) {
            if (one != (parities_[j] != 0 ? 1u : 0u))
                flipped.push_back(begin + j);
            if (j == 0)
                return;
            unsigned keep = state;
            unsigned move = state ^ words[j - start];
            if (j == start) {
                // Column j - 1 ends the block before, whose row comes back in.
                const size_t end = start;
                start = columns.Start(--bit);
                words = columns.Block(bit, end - start);
                const unsigned row = bits[bit] != 0 ? 1u : 0u;
                keep = (keep << 1 | row) & kStateMask;
                move = (move << 1 | row) & kStateMask;
            }
            --j;
            if (j >= kAhead) {
                const uint32_t* ahead = path_.data() + (j - kAhead) * kPathWordsPerColumn;
                FetchAhead(ahead);
                FetchAhead(ahead + kPathWordsPerColumn / 2);
            }
            const uint32_t* column = path_.data() + j * kPathWordsPerColumn;
            const unsigned ifKeep = PathBit(column, keep) ? 1u : 0u;
            const unsigned ifMove = PathBit(column, move) ? 1u : 0u;
            const unsigned moved = 0u - one;
            state = keep ^ ((keep ^ move) & moved);
            one = ifKeep ^ ((ifKeep ^ ifMove) & moved);
        }
    }

    int16_t* Other(const int16_t* buffer) const {
        return buffer == states_->a ? states_->b : states_->a;
    }

    ForwardPass pass_;
    std::vector<uint8_t> parities_;
    std::vector<float> costs_;
    std::vector<int16_t> units_;
    std::vector<uint32_t> path_;
    std::unique_ptr<StateCosts> states_;
    std::vector<size_t> flipped_;
};

ForwardPass ChoosePass(TrellisKernel kernel) {
    if (kernel == TrellisKernel::Portable)
        return PortableForwardPass();
    if (kernel != TrellisKernel::Avx2) {
        const ForwardPass avx512 = Avx512ForwardPass();
        if (avx512.columns != nullptr)
            return avx512;
    }
    const ForwardPass avx2 = Avx2ForwardPass();
    return avx2.columns != nullptr ? avx2 : PortableForwardPass();
}

} // namespace

bool Avx2KernelAvailable() {
    return Avx2ForwardPass().columns != nullptr;
}

bool Avx512KernelAvailable() {
    return Avx512ForwardPass().columns != nullptr;
}

TrellisResult EmbedParities(size_t elements, const SegmentCover& cover,
                            std::span<const uint8_t> messageBits, const SegmentFlips& flips,
                            TrellisKernel kernel) {
    TrellisResult result;
    if (messageBits.size() > elements) {
        result.status = TrellisStatus::TooManyBits;
        return result;
    }
    if (messageBits.empty())
        return result;
    try {
        const size_t segments = SegmentCount(elements);
        SegmentEmbedder embedder(elements / segments + 1, ChoosePass(kernel));
        for (size_t index = 0; index < segments && result.Ok(); ++index) {
            const TrellisSegment segment = SegmentAt(elements, messageBits.size(), index);
            if (segment.bitCount != 0)
                result.status = embedder.Embed(
                    segment, cover, messageBits.subspan(segment.bitBegin, segment.bitCount), flips,
                    result);
        }
    } catch (const std::bad_alloc&) {
        result.status = TrellisStatus::NoMemory;
    }
    if (!result.Ok()) {
        result.cost = 0;
        result.changes = 0;
    }
    return result;
}

TrellisResult EmbedParities(size_t elements, const SegmentCover& cover,
                            std::span<const uint8_t> messageBits, std::vector<size_t>& flipped,
                            TrellisKernel kernel) {
    flipped.clear();
    // The inner form turns an allocation failure here into NoMemory.
    const TrellisResult result = EmbedParities(
        elements, cover, messageBits,
        [&](std::span<const size_t> flips) {
            flipped.insert(flipped.end(), flips.begin(), flips.end());
            return true;
        },
        kernel);
    if (!result.Ok())
        flipped.clear();
    return result;
}

TrellisResult EmbedParities(std::span<const uint8_t> parities, std::span<const float> costs,
                            std::span<const uint8_t> messageBits, std::vector<size_t>& flipped,
                            TrellisKernel kernel) {
    if (costs.size() != parities.size()) {
        flipped.clear();
        return TrellisResult{TrellisStatus::InvalidCost, 0, 0};
    }
    const SegmentCover fromMemory = [&](size_t begin, std::span<uint8_t> segmentParities,
                                        std::span<float> segmentCosts) {
        std::copy_n(parities.begin() + static_cast<std::ptrdiff_t>(begin), segmentParities.size(),
                    segmentParities.begin());
        std::copy_n(costs.begin() + static_cast<std::ptrdiff_t>(begin), segmentCosts.size(),
                    segmentCosts.begin());
        return true;
    };
    return EmbedParities(parities.size(), fromMemory, messageBits, flipped, kernel);
}

namespace {

// Eight parity bytes as the bits of one byte, the first the lowest; any non-zero byte is 1.
inline unsigned PackEight(const uint8_t* parities) {
    uint64_t eight = 0;
    std::memcpy(&eight, parities, sizeof eight);
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    const uint64_t nonZero = (((eight & kLow7) + kLow7) | eight) & ~kLow7;
    return static_cast<unsigned>(((nonZero >> 7) * 0x0102040810204080ULL) >> 56);
}

// A block's share of the syndrome, the columns of its parities that are 1, XORed together.
// Blocks of up to kMostTableWidth columns take eight parities at a time from a table of the
// XORs of every choice of eight columns. Parities are read in whole groups of eight, so
// up to seven bytes past a block's end must be readable.
class BlockSyndromes {
public:
    static constexpr size_t kMostTableWidth = 256;

    explicit BlockSyndromes(size_t width)
        : width_(width), columns_(SubmatrixColumns(width)),
          table_(width <= kMostTableWidth ? (width + 7) / 8 * 256 : 0) {
        for (size_t group = 0; group < table_.size() / 256; ++group) {
            uint16_t* choices = table_.data() + group * 256;
            for (unsigned chosen = 1; chosen < 256; ++chosen) {
                const size_t column = group * 8 + static_cast<size_t>(std::countr_zero(chosen));
                choices[chosen] = static_cast<uint16_t>(choices[chosen & (chosen - 1)] ^
                                                        (column < width ? columns_[column] : 0));
            }
        }
    }

    unsigned Of(const uint8_t* parities) const {
        unsigned syndrome = 0;
        if (table_.empty()) {
            for (size_t j = 0; j < width_; ++j)
                syndrome ^= parities[j] != 0 ? columns_[j] : 0u;
            return syndrome;
        }
        for (size_t group = 0; group < table_.size() / 256; ++group)
            syndrome ^= table_[group * 256 + PackEight(parities + group * 8)];
        return syndrome;
    }

private:
    size_t width_;
    std::vector<uint16_t> columns_;
    std::vector<uint16_t> table_;
};

// Bytes a segment's parities are followed by, for BlockSyndromes' groups of eight.
constexpr size_t kParitySlack = 7;

// The bits one segment's parities carry, into bits (segment.bitCount of them); y is
// followed by kParitySlack readable bytes.
void ExtractSegment(const TrellisSegment& segment, const uint8_t* y, uint8_t* bits) {
    // Rows past the segment's end are never read out, so the columns need no cutting.
    const size_t narrowWidth = segment.length / segment.bitCount;
    const BlockSyndromes narrow(narrowWidth);
    const BlockSyndromes wide(narrowWidth + 1);
    // Block i ends at floor((i + 1) * length / bitCount): narrowWidth a block, plus one
    // wherever the remainder carries, without a division per block.
    const size_t extra = segment.length % segment.bitCount;
    size_t start = 0;
    size_t carried = 0;
    unsigned syndrome = 0;
    for (size_t bit = 0; bit < segment.bitCount; ++bit) {
        carried += extra;
        const bool isWide = carried >= segment.bitCount;
        carried -= isWide ? segment.bitCount : 0;
        syndrome ^= (isWide ? wide : narrow).Of(y + start);
        start += narrowWidth + (isWide ? 1 : 0);
        bits[bit] = static_cast<uint8_t>(syndrome & 1);
        syndrome >>= 1;
    }
}

} // namespace

bool ExtractParities(std::span<const uint8_t> parities, size_t bitCount,
                     std::vector<uint8_t>& messageBits) {
    const SegmentParities fromMemory = [&](size_t begin, std::span<uint8_t> segment) {
        std::copy_n(parities.begin() + static_cast<std::ptrdiff_t>(begin), segment.size(),
                    segment.begin());
        return true;
    };
    return ExtractParities(parities.size(), fromMemory, bitCount, messageBits) == TrellisStatus::Ok;
}

TrellisStatus ExtractParities(size_t elements, const SegmentParities& cover, size_t bitCount,
                              std::vector<uint8_t>& messageBits) {
    messageBits.clear();
    if (bitCount > elements)
        return TrellisStatus::TooManyBits;
    TrellisStatus status = TrellisStatus::Ok;
    try {
        messageBits.resize(bitCount);
        const size_t segments = SegmentCount(elements);
        std::vector<uint8_t> parities(segments != 0 ? elements / segments + 1 + kParitySlack : 0);
        for (size_t index = 0; index < segments && bitCount != 0; ++index) {
            const TrellisSegment segment = SegmentAt(elements, bitCount, index);
            if (segment.bitCount == 0)
                continue;
            if (!cover(segment.begin, std::span<uint8_t>(parities.data(), segment.length))) {
                status = TrellisStatus::Cancelled;
                break;
            }
            ExtractSegment(segment, parities.data(), messageBits.data() + segment.bitBegin);
        }
    } catch (const std::bad_alloc&) {
        status = TrellisStatus::NoMemory;
    }
    if (status != TrellisStatus::Ok)
        messageBits.clear();
    return status;
}

} // namespace lumora::weave
