// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/PixelCover.h"

#include "weave/FetchAhead.h"

#include <algorithm>
#include <cstdlib>

namespace lumora {
namespace {

constexpr int kUsableDistance = 2;
// An element's two bits in the record of moves.
constexpr unsigned kMovedUp = 1, kMovedDown = 2;

} // namespace

void PixelCover::Index(uint8_t* bytes, const PixelLayout& layout,
                       std::optional<std::array<int, 3>> transparent) {
    m_bytes = bytes;
    m_layout = layout;
    m_transparent = transparent;
    m_elements = uint64_t{layout.width} * layout.height * layout.channels;
    m_moves.clear();
    m_edges.clear();
    m_usable = 0;
    for (uint32_t y = 0; y < layout.height; ++y)
        for (uint32_t x = 0; x < layout.width; ++x)
            m_usable += UsablePixel(x, y) ? layout.channels : 0;
}

int PixelCover::Distance(uint64_t pixelOffset) const {
    int distance = 0;
    for (uint32_t c = 0; c < m_layout.channels; ++c)
        distance = std::max(
            distance, std::abs(m_bytes[pixelOffset + m_layout.channelAt[c]] - (*m_transparent)[c]));
    return distance;
}

bool PixelCover::UsablePixel(uint32_t x, uint32_t y) const {
    const uint64_t pixel = PixelOffset(x, y);
    if (m_layout.alphaAt && m_bytes[pixel + *m_layout.alphaAt] == 0)
        return false;
    return !m_transparent || Distance(pixel) >= kUsableDistance;
}

weave::SamplePlane PixelCover::ChannelPlane(uint32_t channel) const {
    weave::SamplePlane plane;
    const uint64_t lowestRow =
        RowsBottomUp() ? PixelOffset(0, m_layout.height - 1) : m_layout.topRow;
    plane.samples = m_bytes + lowestRow + m_layout.channelAt[channel];
    plane.width = m_layout.width;
    plane.height = m_layout.height;
    plane.rowStride = static_cast<size_t>(std::abs(m_layout.rowStride));
    plane.sampleStride = m_layout.pixelBytes;
    return plane;
}

uint8_t* PixelCover::SampleAt(uint64_t index) const {
    const uint64_t pixel = index / m_layout.channels;
    const auto x = static_cast<uint32_t>(pixel % m_layout.width);
    const auto y = static_cast<uint32_t>(pixel / m_layout.width);
    return m_bytes + PixelOffset(x, y) + m_layout.channelAt[index % m_layout.channels];
}

void PixelCover::PrepareSteps() const {
    if (!m_moves.empty())
        return;
    if (m_transparent) {
        const uint64_t pixels = uint64_t{m_layout.width} * m_layout.height;
        std::vector<uint64_t> edges(static_cast<size_t>((pixels + 63) / 64));
        for (uint64_t pixel = 0; pixel < pixels; ++pixel) {
            const uint64_t offset = PixelOffset(static_cast<uint32_t>(pixel % m_layout.width),
                                                static_cast<uint32_t>(pixel / m_layout.width));
            if (Distance(offset) == kUsableDistance)
                edges[static_cast<size_t>(pixel / 64)] |= uint64_t{1} << (pixel % 64);
        }
        m_edges = std::move(edges);
    }
    // Nothing has moved yet, so the edges above are the cover's.
    m_moves.assign(static_cast<size_t>((m_elements + 3) / 4), 0);
}

void PixelCover::FetchStepsAhead(uint32_t x, uint32_t y, uint32_t channel) const {
    const uint64_t pixel = uint64_t{y} * m_layout.width + x;
    const uint64_t index = pixel * m_layout.channels + channel;
    if (index / 4 < m_moves.size())
        weave::FetchAhead(m_moves.data() + index / 4);
    if (pixel / 64 < m_edges.size())
        weave::FetchAhead(m_edges.data() + pixel / 64);
}

bool PixelCover::AtTheEdge(uint64_t pixel, uint64_t pixelOffset, uint64_t firstElement) const {
    if (!m_edges.empty())
        return (m_edges[static_cast<size_t>(pixel / 64)] >> (pixel % 64) & 1) != 0;
    return DistanceBefore(pixelOffset, firstElement) == kUsableDistance;
}

int PixelCover::Moved(uint64_t index) const {
    if (m_moves.empty())
        return 0;
    const unsigned bits = m_moves[static_cast<size_t>(index / 4)] >> (index % 4 * 2) & 3u;
    return bits == kMovedUp ? 1 : bits == kMovedDown ? -1 : 0;
}

void PixelCover::PutMoved(uint64_t index, int step) {
    PrepareSteps();
    uint8_t& four = m_moves[static_cast<size_t>(index / 4)];
    const int shift = static_cast<int>(index % 4 * 2);
    const unsigned bits = step > 0 ? kMovedUp : step < 0 ? kMovedDown : 0;
    four = static_cast<uint8_t>((four & ~(3u << shift)) | bits << shift);
}

int PixelCover::DistanceBefore(uint64_t pixelOffset, uint64_t firstElement) const {
    int distance = 0;
    for (uint32_t c = 0; c < m_layout.channels; ++c) {
        const int before = m_bytes[pixelOffset + m_layout.channelAt[c]] - Moved(firstElement + c);
        distance = std::max(distance, std::abs(before - (*m_transparent)[c]));
    }
    return distance;
}

bool PixelCover::Usable(uint64_t index) const {
    if (index >= m_elements)
        return false;
    const uint64_t pixel = index / m_layout.channels;
    return UsablePixel(static_cast<uint32_t>(pixel % m_layout.width),
                       static_cast<uint32_t>(pixel / m_layout.width));
}

int PixelCover::Value(uint64_t index) const {
    return index < m_elements ? *SampleAt(index) : 0;
}

Steps PixelCover::AllowedSteps(uint64_t index) const {
    if (index >= m_elements)
        return {};
    const uint64_t pixel = index / m_layout.channels;
    return AllowedStepsAt(static_cast<uint32_t>(pixel % m_layout.width),
                          static_cast<uint32_t>(pixel / m_layout.width),
                          static_cast<uint32_t>(index - pixel * m_layout.channels));
}

// A sample that has taken a step may only go back. Otherwise it may move within 0..255,
// except that in a pixel whose distance from the transparent colour was exactly 2 in the
// cover, a channel at distance 2 may not step towards it. Judging by the cover's pixel, not
// the changed one, keeps the rule the same however many of a pixel's samples have moved.
Steps PixelCover::AllowedStepsAt(uint32_t x, uint32_t y, uint32_t channel) const {
    if (x >= m_layout.width || y >= m_layout.height || channel >= m_layout.channels ||
        !UsablePixel(x, y))
        return {};
    const uint64_t pixel = uint64_t{y} * m_layout.width + x;
    const uint64_t index = pixel * m_layout.channels + channel;
    if (const int moved = Moved(index); moved != 0)
        return {moved > 0, moved < 0};
    const uint64_t offset = PixelOffset(x, y);
    const int value = m_bytes[offset + m_layout.channelAt[channel]];
    Steps steps{value > 0, value < 255};
    if (m_transparent && AtTheEdge(pixel, offset, index - channel)) {
        const int fromTransparent = value - (*m_transparent)[channel];
        steps.down = steps.down && fromTransparent != kUsableDistance;
        steps.up = steps.up && fromTransparent != -kUsableDistance;
    }
    return steps;
}

bool PixelCover::Change(uint64_t index, int step) {
    const Steps allowed = AllowedSteps(index);
    if (!((step == 1 && allowed.up) || (step == -1 && allowed.down)))
        return false;
    PutMoved(index, Moved(index) + step);
    uint8_t* sample = SampleAt(index);
    *sample = static_cast<uint8_t>(*sample + step);
    return true;
}

} // namespace lumora
