// SPDX-License-Identifier: GPL-2.0-or-later
// A JPEG's AC coefficients as woven elements: every one is usable; costs are UERD's, per
// component, from block energies taken once (one float per block).
#include "weave/Divider.h"
#include "weave/FetchAhead.h"
#include "weave/UerdCosts.h"
#include "weave/WovenCoverKinds.h"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

namespace lumora::weave {
namespace {

constexpr uint32_t kAcPerBlock = 63;
constexpr uint32_t kBlockSize = 64;

class JpegWovenCover final : public WovenCover {
public:
    JpegWovenCover(JpegCover& cover, std::vector<std::span<const int16_t>> components)
        : WovenCover(cover, UsableIndex(cover.ElementCount())), m_cover(cover),
          m_components(std::move(components)) {
        for (size_t c = 0; c < m_components.size(); ++c) {
            const JpegCover::Grid& grid = cover.ComponentGrid(c);
            m_widths.emplace_back(grid.widthInBlocks);
            for (uint32_t block = 0; block < grid.widthInBlocks * grid.heightInBlocks; ++block) {
                const int16_t* coefficients =
                    m_components[c].data() + size_t{Stored(c, block)} * kBlockSize;
                for (uint32_t position = 1; position < kBlockSize; ++position)
                    m_nonZero += coefficients[position] != 0 ? 1 : 0;
            }
        }
    }

    CoverStatus PrepareCosts() override try {
        m_costs.clear();
        for (size_t c = 0; c < m_components.size(); ++c) {
            const JpegCover::Grid& grid = m_cover.ComponentGrid(c);
            std::optional<UerdCosts> costs =
                UerdCosts::Make(m_components[c], grid.widthInBlocks, grid.heightInBlocks,
                                grid.quant, kBaselineCoefficientLimit, grid.blocksPerRow);
            if (!costs)
                return CoverStatus::Damaged;
            m_costs.push_back(std::move(*costs));
        }
        return CoverStatus::Ok;
    } catch (const std::bad_alloc&) {
        return CoverStatus::NoMemory;
    }

    uint64_t CeilingCount() const override { return m_nonZero; }
    void DropCosts() override { m_costs = {}; }

private:
    struct Place {
        size_t component;
        uint32_t block;    // as the component's array holds it: row * blocksPerRow + column
        uint32_t position; // 1..63, natural order
    };

    // Where block `block` (row * widthInBlocks + column) of component c lies in its array.
    uint32_t Stored(size_t c, uint32_t block) const {
        const uint32_t stride = m_cover.ComponentGrid(c).blocksPerRow;
        const Divider& width = m_widths[c];
        if (stride == width.Divisor())
            return block;
        const uint32_t row = width.Quotient(block);
        return row * stride + (block - row * width.Divisor());
    }

    Place PlaceOf(uint32_t element) const {
        size_t c = m_components.size() - 1;
        while (c > 0 && element < m_cover.ComponentGrid(c).firstElement)
            --c;
        const auto local = static_cast<uint32_t>(element - m_cover.ComponentGrid(c).firstElement);
        return {c, Stored(c, local / kAcPerBlock), local % kAcPerBlock + 1};
    }

    const int16_t* Coefficient(const Place& place) const {
        return m_components[place.component].data() + size_t{place.block} * kBlockSize +
               place.position;
    }

    void ElementParities(const uint32_t* elements, size_t count, uint8_t* parities) const override {
        Visit(
            elements, count, [this](uint32_t e) { return PlaceOf(e); },
            [this](const Place& place) { FetchAhead(Coefficient(place)); },
            [&](size_t i, const Place& place) {
                parities[i] = static_cast<uint8_t>(*Coefficient(place) & 1);
            });
    }

    void RunParities(uint32_t first, size_t count, uint8_t* parities) const override {
        // Block by block: a block's AC coefficients are consecutive elements.
        for (size_t done = 0; done < count;) {
            const Place place = PlaceOf(static_cast<uint32_t>(first + done));
            const int16_t* coefficients = Coefficient(place);
            const size_t run = std::min<size_t>(count - done, kBlockSize - place.position);
            for (size_t i = 0; i < run; ++i)
                parities[done + i] = static_cast<uint8_t>(coefficients[i] & 1);
            done += run;
        }
    }

    void ElementFlipCosts(const uint32_t* elements, size_t count, float* costs) const override {
        // A block's spread is one float, few enough to stay in the caches: nothing to fetch.
        for (size_t i = 0; i < count; ++i) {
            const Place place = PlaceOf(elements[i]);
            costs[i] = m_costs[place.component].FlipAt(place.block, place.position);
        }
    }

    ChangeCosts ElementCosts(uint32_t element) const override {
        const Place place = PlaceOf(element);
        return m_costs[place.component].At(place.block, place.position);
    }

    void FetchForChange(uint32_t element) const override {
        // Costs come from a block's spread, which stays in the caches.
        FetchAhead(Coefficient(PlaceOf(element)));
    }

    JpegCover& m_cover;
    std::vector<std::span<const int16_t>> m_components;
    std::vector<Divider> m_widths; // by each component's width in blocks
    std::vector<UerdCosts> m_costs;
    uint64_t m_nonZero = 0;
};

} // namespace

CoverStatus MakeJpegWovenCover(JpegCover& cover, std::unique_ptr<WovenCover>& out) {
    std::vector<std::span<const int16_t>> components;
    for (size_t c = 0; c < cover.ComponentCount(); ++c) {
        components.push_back(cover.Coefficients(c));
        if (components.back().empty())
            return CoverStatus::TooLarge;
    }
    out = std::make_unique<JpegWovenCover>(cover, std::move(components));
    return CoverStatus::Ok;
}

} // namespace lumora::weave
