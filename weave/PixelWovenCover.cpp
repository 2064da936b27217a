// SPDX-License-Identifier: GPL-2.0-or-later
// The samples of a picture of pixels as woven elements: the usable pixels' colour samples;
// costs are HILL's, one byte per sample, worked out on each channel as its rows lie in
// memory (HILL's filters are symmetric, so a picture stored bottom-up gets the same costs).
#include "weave/Divider.h"
#include "weave/FetchAhead.h"
#include "weave/HillCosts.h"
#include "weave/WovenCoverKinds.h"

#include <algorithm>
#include <array>
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
        : WovenCover(cover, UsablePixels(cover)), m_cover(cover),
          m_channels(cover.Layout().channels), m_width(cover.Layout().width),
          m_packedRows(PackedRows(cover.Layout())) {
        for (uint32_t c = 0; c < cover.Layout().channels; ++c)
            m_planes[c] = cover.ChannelPlane(c);
    }

    CoverStatus PrepareCosts() override try {
        // The record of moves before the costs: made at the first change, it would land
        // beside memory that the coder's segments and the decoder have freed but the
        // process still holds.
        m_cover.PrepareSteps();
        m_costs = HillCosts();
        for (uint32_t c = 0; c < m_channels.Divisor(); ++c)
            if (!m_costs.AddChannel(m_planes[c]))
                return CoverStatus::Damaged;
        return CoverStatus::Ok;
    } catch (const std::bad_alloc&) {
        return CoverStatus::NoMemory;
    }

    uint64_t CeilingCount() const override { return Count(); }
    void DropCosts() override { m_costs = HillCosts(); }

private:
    // An element as a sample of a channel's plane.
    struct Spot {
        uint32_t channel;
        uint32_t x;
        uint32_t row; // of the plane
    };

    Spot SpotOf(uint32_t element) const {
        const uint32_t pixel = m_channels.Quotient(element);
        const uint32_t y = m_width.Quotient(pixel);
        const uint32_t row = m_cover.RowsBottomUp() ? m_cover.Layout().height - 1 - y : y;
        return {element - pixel * m_channels.Divisor(), pixel - y * m_width.Divisor(), row};
    }

    const uint8_t* Sample(const Spot& spot) const {
        const SamplePlane& plane = m_planes[spot.channel];
        return plane.samples + size_t{spot.row} * plane.rowStride +
               size_t{spot.x} * plane.sampleStride;
    }

    void ElementParities(const uint32_t* elements, size_t count, uint8_t* parities) const override {
        Visit(
            elements, count, [this](uint32_t e) { return SpotOf(e); },
            [this](const Spot& spot) { FetchAhead(Sample(spot)); },
            [&](size_t i, const Spot& spot) {
                parities[i] = static_cast<uint8_t>(*Sample(spot) & 1);
            });
    }

    void RunParities(uint32_t first, size_t count, uint8_t* parities) const override {
        // Row by row: the samples of a row's pixels are consecutive elements.
        const uint32_t channels = m_channels.Divisor();
        for (size_t done = 0; done < count;) {
            const Spot start = SpotOf(static_cast<uint32_t>(first + done));
            if (m_packedRows) {
                // The row's elements are its bytes, one after the other.
                const size_t run = std::min<size_t>(
                    count - done, size_t{m_width.Divisor() - start.x} * channels - start.channel);
                const uint8_t* samples = Sample(start);
                for (size_t i = 0; i < run; ++i)
                    parities[done + i] = static_cast<uint8_t>(samples[i] & 1);
                done += run;
                continue;
            }
            uint32_t channel = start.channel;
            for (uint32_t x = start.x; x < m_width.Divisor() && done < count; ++x, channel = 0)
                for (; channel < channels && done < count; ++channel)
                    parities[done++] = static_cast<uint8_t>(*Sample({channel, x, start.row}) & 1);
        }
    }

    // Whether a row holds its samples in element order with nothing between them.
    static bool PackedRows(const PixelLayout& layout) {
        for (uint32_t c = 0; c < layout.channels; ++c)
            if (layout.channelAt[c] != c)
                return false;
        return layout.pixelBytes == layout.channels;
    }

    void ElementFlipCosts(const uint32_t* elements, size_t count, float* costs) const override {
        const auto at = [this](uint32_t e) { return SpotOf(e); };
        if (m_cover.HasTransparentColour()) {
            // The allowed steps depend on the pixel, so each is read.
            Visit(
                elements, count, at, [this](const Spot& spot) { FetchCostsAt(spot); },
                [&](size_t i, const Spot& spot) { costs[i] = CostsAt(spot).Flip(); });
            return;
        }
        // Each element's level is found once, kFetchAhead elements ahead of its read, and
        // kept in a ring until then.
        const float* levelCosts = HillCosts::LevelCosts();
        std::array<const uint8_t*, kFetchAhead> ahead;
        const size_t first = std::min(count, kFetchAhead);
        for (size_t i = 0; i < first; ++i) {
            ahead[i] = LevelOf(elements[i]);
            FetchAhead(ahead[i]);
        }
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* level = ahead[i % kFetchAhead];
            if (i + kFetchAhead < count) {
                ahead[i % kFetchAhead] = LevelOf(elements[i + kFetchAhead]);
                FetchAhead(ahead[i % kFetchAhead]);
            }
            costs[i] = levelCosts[*level];
        }
    }

    // Where an element's cost level lies: at its pixel's place in its channel's plane.
    const uint8_t* LevelOf(uint32_t element) const {
        const uint32_t pixel = m_channels.Quotient(element);
        const uint32_t channel = element - pixel * m_channels.Divisor();
        size_t place = pixel;
        if (m_cover.RowsBottomUp()) {
            const uint32_t y = m_width.Quotient(pixel);
            const uint32_t height = m_cover.Layout().height;
            place = size_t{height - 1 - y} * m_width.Divisor() + (pixel - y * m_width.Divisor());
        }
        return m_costs.Levels(channel) + place;
    }

    ChangeCosts ElementCosts(uint32_t element) const override { return CostsAt(SpotOf(element)); }

    void FetchForChange(uint32_t element) const override { FetchCostsAt(SpotOf(element)); }

    // Asks for what CostsAt and a change read of a spot: its level, sample and steps.
    void FetchCostsAt(const Spot& spot) const {
        m_costs.Prefetch(spot.channel, spot.x, spot.row);
        m_cover.FetchStepsAhead(spot.x, YOf(spot), spot.channel);
    }

    // The picture's row of a spot, counted from the top.
    uint32_t YOf(const Spot& spot) const {
        return m_cover.RowsBottomUp() ? m_cover.Layout().height - 1 - spot.row : spot.row;
    }

    ChangeCosts CostsAt(const Spot& spot) const {
        ChangeCosts costs = m_costs.At(spot.channel, spot.x, spot.row);
        // HILL's costs already keep samples within 0..255; only a transparent colour keeps
        // some from other steps.
        if (m_cover.HasTransparentColour()) {
            const Steps steps = m_cover.AllowedStepsAt(spot.x, YOf(spot), spot.channel);
            constexpr float kWet = std::numeric_limits<float>::infinity();
            if (!steps.up)
                costs.up = kWet;
            if (!steps.down)
                costs.down = kWet;
        }
        return costs;
    }

    PixelCover& m_cover;
    Divider m_channels;
    Divider m_width;
    bool m_packedRows;
    std::array<SamplePlane, 3> m_planes{};
    HillCosts m_costs;
};

} // namespace

std::unique_ptr<WovenCover> MakePixelWovenCover(PixelCover& cover) {
    return std::make_unique<PixelWovenCover>(cover);
}

} // namespace lumora::weave
