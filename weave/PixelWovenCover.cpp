// SPDX-License-Identifier: GPL-2.0-or-later
// The samples of a picture of pixels as woven elements: the usable pixels' colour samples;
// costs are HILL's, one byte per sample, worked out on each channel as its rows lie in
// memory (HILL's filters are symmetric, so a picture stored bottom-up gets the same costs).
#include "weave/HillCosts.h"
#include "weave/WovenCoverKinds.h"

#include <limits>
#include <new>

namespace lumora::weave {
namespace {

UsableIndex UsablePixels(const PixelCover& cover) {
    const PixelLayout& layout = cover.Layout();
    if (cover.UsableCount() == cover.ElementCount())
        return UsableIndex(cover.ElementCount());
    const uint64_t width = layout.width;
    return UsableIndex(width * layout.height, layout.channels, [&](uint64_t pixel) {
        return cover.UsablePixel(static_cast<uint32_t>(pixel % width),
                                 static_cast<uint32_t>(pixel / width));
    });
}

class PixelWovenCover final : public WovenCover {
public:
    explicit PixelWovenCover(PixelCover& cover)
        : WovenCover(cover, UsablePixels(cover)), m_cover(cover) {}

    CoverStatus PrepareCosts() override try {
        m_costs = HillCosts();
        for (uint32_t c = 0; c < m_cover.Layout().channels; ++c)
            if (!m_costs.AddChannel(m_cover.ChannelPlane(c)))
                return CoverStatus::Damaged;
        return CoverStatus::Ok;
    } catch (const std::bad_alloc&) {
        return CoverStatus::NoMemory;
    }

    uint64_t CeilingCount() const override { return Count(); }
    void DropCosts() override { m_costs = HillCosts(); }

private:
    void ElementParities(const uint32_t* elements, size_t count, uint8_t* parities) const override {
        for (size_t i = 0; i < count; ++i)
            parities[i] = static_cast<uint8_t>(m_cover.Value(elements[i]) & 1);
    }

    ChangeCosts ElementCosts(uint32_t element) const override {
        const PixelLayout& layout = m_cover.Layout();
        const uint32_t pixel = element / layout.channels;
        const uint32_t x = pixel % layout.width;
        uint32_t y = pixel / layout.width;
        if (m_cover.RowsBottomUp())
            y = layout.height - 1 - y;
        ChangeCosts costs = m_costs.At(element % layout.channels, x, y);
        const Steps steps = m_cover.AllowedSteps(element);
        constexpr float kWet = std::numeric_limits<float>::infinity();
        if (!steps.up)
            costs.up = kWet;
        if (!steps.down)
            costs.down = kWet;
        return costs;
    }

    PixelCover& m_cover;
    HillCosts m_costs;
};

} // namespace

std::unique_ptr<WovenCover> MakePixelWovenCover(PixelCover& cover) {
    return std::make_unique<PixelWovenCover>(cover);
}

} // namespace lumora::weave
