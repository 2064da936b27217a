// SPDX-License-Identifier: GPL-2.0-or-later
// Costs of changing 8-bit samples by +1 or -1, after HILL (high-pass, low-pass, low-pass):
//
//   R  = the samples filtered with the KB kernel [-1 2 -1; 2 -4 2; -1 2 -1]
//   xi = the 3x3 mean of |R|
//   cost = the 15x15 mean of 1 / xi
//
// Filters read past the edges by mirroring the plane (the edge sample repeats). Where
// xi = 0 (a flat 3x3 neighbourhood) 1 / xi is taken as 2^15, far above any textured value
// (at most 9). The sums run over exact integers, band by band, so a plane needs only a few
// rows of working memory; the costs are kept as one byte per sample on a logarithmic scale
// (eight steps per octave, 2^-16 to 2^15.875), which is all a cost needs to be compared.
// Wet: +1 at 255, -1 at 0.
#pragma once

#include "platform/HugePageAllocator.h"
#include "weave/ChangeChoice.h"
#include "weave/FetchAhead.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumora::weave {

// A channel's cost levels, one byte per sample, read in the embedding's scattered order.
using CostLevels = std::vector<uint8_t, HugePageAllocator<uint8_t>>;

// One channel of a picture in memory.
struct SamplePlane {
    const uint8_t* samples = nullptr; // the top row's first sample of this channel
    size_t width = 0;
    size_t height = 0;
    size_t rowStride = 0;    // bytes from a row to the next
    size_t sampleStride = 1; // bytes from a sample to the next in a row (channels interleaved)
};

class HillCosts {
public:
    // Computes the costs of one more channel, numbered from 0 in the order added. The
    // samples are read again by At (for the range limits) and must outlive the object.
    // False when the plane is empty, has no samples or its strides are too small.
    bool AddChannel(const SamplePlane& plane);

    size_t Channels() const { return channels_.size(); }

    // Costs of changing the sample at (x, y) of `channel` by +1 and by -1. Out-of-range
    // arguments give wet costs.
    ChangeCosts At(size_t channel, size_t x, size_t y) const;
    // The cheaper of the two, which needs no sample: no sample is at both ends of 0..255.
    float FlipAt(size_t channel, size_t x, size_t y) const;
    // The cost levels of `channel` (below Channels()), row-major, and the cost of each level:
    // FlipAt's cost of (x, y) is LevelCosts()[Levels(channel)[y * width + x]], for callers
    // that work many places out faster than FlipAt's checks.
    const uint8_t* Levels(size_t channel) const { return channels_[channel].levels.data(); }
    static const float* LevelCosts();

    // Asks the processor to fetch what At reads, ahead of a run of scattered look-ups.
    void Prefetch(size_t channel, size_t x, size_t y) const {
        if (channel < channels_.size()) {
            const Channel& c = channels_[channel];
            FetchAhead(c.levels.data() + y * c.plane.width + x);
            FetchAhead(c.plane.samples + y * c.plane.rowStride + x * c.plane.sampleStride);
        }
    }

    // Bytes the kept costs take: one per sample of every channel.
    size_t CostBytes() const;

private:
    struct Channel {
        SamplePlane plane;
        CostLevels levels; // row-major, width * height
    };
    std::vector<Channel> channels_;
};

} // namespace lumora::weave
