// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/TrellisCosts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace lumora::weave {
namespace {

constexpr float kWet = std::numeric_limits<float>::infinity();

// `cheap` costs of `low`, then `dear` of `high`, then `wet` wet and `zeros` zero ones.
std::vector<float> Costs(size_t cheap, float low, size_t dear, float high, size_t wet = 0,
                         size_t zeros = 0) {
    std::vector<float> costs(cheap, low);
    costs.insert(costs.end(), dear, high);
    costs.insert(costs.end(), wet, kWet);
    costs.insert(costs.end(), zeros, 0.0f);
    return costs;
}

// Costs of `high`, with the first and every eighth from the fourth `low`: the cheap ones
// nearly all fall at the same place in every group of four.
std::vector<float> EveryEighthCheap(size_t count, float low, float high) {
    std::vector<float> costs(count, high);
    costs[0] = low;
    for (size_t i = 3; i < count; i += 8)
        costs[i] = low;
    return costs;
}

TEST(TrellisCosts, PutsTheCheapestEighthAt64To128UnitsAndHoldsTheRest) {
    const struct {
        const char* name;
        std::vector<float> costs;
        int16_t cheapUnits; // the units of the first cost
        size_t dearAt;
        int16_t dearUnits; // the units of costs[dearAt]
    } kCases[] = {
        {"uniform", Costs(100, 1.0f, 0, 0), 64, 99, 64},
        {"uniform, not a power of two", Costs(100, 1.5f, 0, 0), 96, 99, 96},
        {"an eighth cheap, the rest far dearer", Costs(125, 0x1p-20f, 875, 0x1p20f), 64, 125,
         kMostCost},
        {"the rest 32 times dearer: held", Costs(125, 1.0f, 875, 32.0f), 64, 125, kMostCost},
        {"the rest 8 times dearer", Costs(125, 1.0f, 875, 8.0f), 64, 125, 512},
        {"fewer than an eighth cheap", Costs(100, 0.5f, 900, 1.0f), 32, 100, 64},
        {"wet and zero costs do not count", Costs(10, 3.0f, 10, 6.0f, 500, 500), 96, 10, 192},
        {"tiny", Costs(8, 1e-30f, 8, 2e-30f), 81, 8, 162},
        {"huge", Costs(8, 1e30f, 8, 2e30f), 101, 8, 202},
        {"subnormal: as zeros", Costs(8, 1e-40f, 8, 1e-39f), 0, 8, 0},
        {"the cheap eighth interleaved", EveryEighthCheap(1003, 8.0f, 64.0f), 64, 1, 512},
    };
    for (const auto& c : kCases) {
        const float scale = CostScale(c.costs);
        EXPECT_EQ(std::exp2(std::round(std::log2(scale))), scale) << c.name << ": a power of two";
        std::vector<int16_t> units(c.costs.size());
        ScaleCosts(c.costs, scale, units.data());
        EXPECT_EQ(units[0], c.cheapUnits) << c.name;
        EXPECT_EQ(units[c.dearAt], c.dearUnits) << c.name;
        for (size_t i = 0; i < c.costs.size(); ++i) {
            if (std::isinf(c.costs[i])) {
                EXPECT_EQ(units[i], kWetCost) << c.name;
            } else if (c.costs[i] == 0) {
                EXPECT_EQ(units[i], 0) << c.name;
            }
        }
    }
}

TEST(TrellisCosts, RoundsToTheNearestUnitInEveryLane) {
    // Seven costs, so that the tail after the groups of four is taken too.
    const std::vector<float> costs = {1.0f, 1.0f + 0.4f / 64, 1.0f + 0.6f / 64, 1.5f,
                                      1.0f, 1.0f + 0.6f / 64, 1.0f + 0.4f / 64};
    std::vector<int16_t> units(costs.size());
    ScaleCosts(costs, 64.0f, units.data());
    EXPECT_EQ(units, (std::vector<int16_t>{64, 64, 65, 96, 64, 65, 64}));
}

} // namespace
} // namespace lumora::weave
