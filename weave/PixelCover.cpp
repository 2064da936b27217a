// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/PixelCover.h"

#include <algorithm>
#include <cstdlib>

namespace lumora {
namespace {

// An element's four bits of state: which steps the cover allows, and which one was taken.
constexpr uint8_t kMayDown = 1, kMayUp = 2, kMovedUp = 4, kMovedDown = 8;

constexpr int kUsableDistance = 2;

} // namespace

void PixelCover::Index(uint8_t* bytes, const PixelLayout& layout,
                       std::optional<std::array<int, 3>> transparent) {
    m_bytes = bytes;
    m_layout = layout;
    m_transparent = transparent;
    m_elements = uint64_t{layout.width} * layout.height * layout.channels;
    m_states.clear();
    m_usable = 0;
    for (uint32_t y = 0; y < layout.height; ++y)
        for (uint32_t x = 0; x < layout.width; ++x)
            m_usable += UsablePixel(x, y) ? layout.channels : 0;
}

void PixelCover::MakeStates() const {
    m_states.assign(static_cast<size_t>((m_elements + 1) / 2), 0);
    uint64_t index = 0;
    for (uint32_t y = 0; y < m_layout.height; ++y) {
        for (uint32_t x = 0; x < m_layout.width; ++x, index += m_layout.channels) {
            if (!UsablePixel(x, y))
                continue;
            const uint64_t pixel = PixelOffset(x, y);
            const bool edge = m_transparent && Distance(pixel) == kUsableDistance;
            for (uint32_t c = 0; c < m_layout.channels; ++c) {
                const int value = m_bytes[pixel + m_layout.channelAt[c]];
                const int fromTransparent = m_transparent ? value - (*m_transparent)[c] : 0;
                uint8_t state = 0;
                if (value > 0 && !(edge && fromTransparent == kUsableDistance))
                    state |= kMayDown;
                if (value < 255 && !(edge && fromTransparent == -kUsableDistance))
                    state |= kMayUp;
                PutState(index + c, state);
            }
        }
    }
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
    if (m_states.empty())
        MakeStates();
}

uint8_t PixelCover::State(uint64_t index) const {
    if (m_states.empty())
        MakeStates();
    return static_cast<uint8_t>(m_states[static_cast<size_t>(index / 2)] >> (index % 2 * 4) & 0x0F);
}

void PixelCover::PutState(uint64_t index, uint8_t state) const {
    uint8_t& pair = m_states[static_cast<size_t>(index / 2)];
    const int shift = static_cast<int>(index % 2 * 4);
    pair = static_cast<uint8_t>((pair & ~(0x0F << shift)) | state << shift);
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
    const uint8_t state = State(index);
    if ((state & kMovedUp) != 0)
        return {true, false};
    if ((state & kMovedDown) != 0)
        return {false, true};
    return {(state & kMayDown) != 0, (state & kMayUp) != 0};
}

bool PixelCover::Change(uint64_t index, int step) {
    const Steps allowed = AllowedSteps(index);
    if (!((step == 1 && allowed.up) || (step == -1 && allowed.down)))
        return false;
    uint8_t state = State(index);
    const uint8_t away = step == 1 ? kMovedDown : kMovedUp;
    const uint8_t towards = step == 1 ? kMovedUp : kMovedDown;
    state = (state & away) != 0 ? static_cast<uint8_t>(state & ~away)
                                : static_cast<uint8_t>(state | towards);
    PutState(index, state);
    uint8_t* sample = SampleAt(index);
    *sample = static_cast<uint8_t>(*sample + step);
    return true;
}

} // namespace lumora
