// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/HillCosts.h"

#include "weave/HillFilter.h"

#include <limits>

namespace lumora::weave {

bool HillCosts::AddChannel(const SamplePlane& plane) {
    if (plane.samples == nullptr || plane.width == 0 || plane.height == 0 ||
        plane.sampleStride == 0 ||
        plane.width > std::numeric_limits<size_t>::max() / plane.sampleStride ||
        plane.height > std::numeric_limits<size_t>::max() / plane.width ||
        plane.rowStride < (plane.width - 1) * plane.sampleStride + 1)
        return false;
    channels_.push_back(Channel{plane, HillLevels(plane)});
    return true;
}

ChangeCosts HillCosts::At(size_t channel, size_t x, size_t y) const {
    constexpr float kWet = std::numeric_limits<float>::infinity();
    // Every sample's own cost is finite: infinity means out of range.
    const float cost = FlipAt(channel, x, y);
    if (cost == kWet)
        return {kWet, kWet};
    const Channel& c = channels_[channel];
    const uint8_t sample = c.plane.samples[y * c.plane.rowStride + x * c.plane.sampleStride];
    return {sample == 255 ? kWet : cost, sample == 0 ? kWet : cost};
}

float HillCosts::FlipAt(size_t channel, size_t x, size_t y) const {
    if (channel >= channels_.size())
        return std::numeric_limits<float>::infinity();
    const Channel& c = channels_[channel];
    if (x >= c.plane.width || y >= c.plane.height)
        return std::numeric_limits<float>::infinity();
    return HillLevelCost(c.levels[y * c.plane.width + x]);
}

const float* HillCosts::LevelCosts() {
    return HillLevelCostTable().data();
}

size_t HillCosts::CostBytes() const {
    size_t bytes = 0;
    for (const Channel& c : channels_)
        bytes += c.levels.size();
    return bytes;
}

} // namespace lumora::weave
