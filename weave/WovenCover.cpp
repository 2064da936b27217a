// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/WovenCover.h"

#include "weave/WovenCoverKinds.h"

#include <limits>
#include <new>
#include <vector>

namespace lumora::weave {

CoverStatus WovenCover::Make(CoverImage& cover, std::unique_ptr<WovenCover>& out) {
    if (cover.ElementCount() > UINT32_MAX)
        return CoverStatus::TooLarge;
    try {
        if (auto* jpeg = dynamic_cast<JpegCover*>(&cover))
            return MakeJpegWovenCover(*jpeg, out);
        if (auto* pixels = dynamic_cast<PixelCover*>(&cover)) {
            out = MakePixelWovenCover(*pixels);
            return CoverStatus::Ok;
        }
        return CoverStatus::NotSupported;
    } catch (const std::bad_alloc&) {
        return CoverStatus::NoMemory;
    }
}

void WovenCover::Parities(uint32_t* usable, size_t count, uint8_t* parities) const {
    m_index.Elements(usable, count);
    ElementParities(usable, count, parities);
}

void WovenCover::ParitiesInOrder(uint64_t first, size_t count, uint8_t* parities) const {
    if (m_index.AllUsable()) {
        RunParities(static_cast<uint32_t>(first), count, parities);
        return;
    }
    // Usable elements come in runs between the pixels left out: one read per run.
    std::vector<uint32_t> elements(count);
    m_index.ElementsFrom(first, count, elements.data());
    for (size_t start = 0, end = 0; start < count; start = end) {
        end = start + 1;
        while (end < count && elements[end] == elements[end - 1] + 1)
            ++end;
        RunParities(elements[start], end - start, parities + start);
    }
}

void WovenCover::FlipCosts(uint32_t* usable, size_t count, float* costs) const {
    m_index.Elements(usable, count);
    ElementFlipCosts(usable, count, costs);
}

bool WovenCover::ChangeElement(uint32_t element, bool upOnTie) {
    const ChangeCosts costs = ElementCosts(element);
    const int step = ChooseChange(costs, upOnTie);
    if ((step > 0 ? costs.up : costs.down) == std::numeric_limits<float>::infinity())
        return false;
    return m_cover.Change(element, step);
}

} // namespace lumora::weave
