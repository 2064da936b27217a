// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/UerdCosts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace lumora::weave {
namespace {

struct Component {
    size_t width;
    size_t height;
    std::vector<int16_t> coefficients;

    Component(size_t w, size_t h) : width(w), height(h), coefficients(w * h * 64) {}
    int16_t& At(size_t bx, size_t by, unsigned position) {
        return coefficients[(by * width + bx) * 64 + position];
    }
    std::optional<UerdCosts> Costs(const std::vector<uint16_t>& steps, int limit = 1023) const {
        return UerdCosts::Make(coefficients, width, height, steps, limit);
    }
};

const std::vector<uint16_t> kSteps = [] {
    std::vector<uint16_t> steps(64);
    for (unsigned p = 0; p < 64; ++p)
        steps[p] = static_cast<uint16_t>(1 + p % 8 + p / 8); // grows away from DC
    return steps;
}();

TEST(UerdCosts, CostIsTheStepOverTheBlockEnergyPlusAQuarterOfItsNeighbours) {
    // 3 x 3 blocks with one AC coefficient each; every step is 2, so energy = 2 |value|.
    Component c(3, 3);
    const int16_t values[3][3] = {{1, -2, 3}, {4, 5, -6}, {7, 8, 9}};
    for (size_t y = 0; y < 3; ++y)
        for (size_t x = 0; x < 3; ++x)
            c.At(x, y, 9) = values[y][x];
    const auto costs = c.Costs(std::vector<uint16_t>(64, 2));
    ASSERT_TRUE(costs);
    struct Case {
        size_t block;
        float spread; // by hand; outside neighbours repeat the edge block
    };
    const Case cases[] = {
        {4, 10 + 0.25f * (2 + 4 + 6 + 8 + 12 + 14 + 16 + 18)},
        {0, 2 + 0.25f * (3 * 2 + 2 * 4 + 2 * 8 + 10)},
        {8, 18 + 0.25f * (3 * 18 + 2 * 16 + 2 * 12 + 10)},
        {5, 12 + 0.25f * (4 + 6 + 6 + 10 + 16 + 18 + 18 + 12)},
    };
    for (const Case& k : cases) {
        const ChangeCosts cost = costs->At(k.block, 1);
        EXPECT_FLOAT_EQ(cost.up, 2 / k.spread) << "block " << k.block;
        EXPECT_FLOAT_EQ(cost.down, cost.up);
    }
}

TEST(UerdCosts, BusyBlocksAmongBusyNeighboursCostLessThanQuietOnes) {
    Component c(8, 4);
    std::mt19937 random(5);
    for (size_t y = 0; y < 4; ++y)
        for (size_t x = 0; x < 8; ++x)
            for (unsigned p = 1; p < 64; ++p)
                c.At(x, y, p) = static_cast<int16_t>(x < 4 ? static_cast<int>(random() % 41) - 20
                                                           : (p == 1 ? 1 : 0));
    const auto costs = c.Costs(kSteps);
    ASSERT_TRUE(costs);
    for (unsigned p : {1u, 10u, 63u}) {
        const float busy = costs->At(1 * 8 + 1, p).up;
        const float edge = costs->At(1 * 8 + 4, p).up; // quiet, beside the busy half
        const float quiet = costs->At(2 * 8 + 7, p).up;
        EXPECT_LT(busy * 2, edge) << p;
        EXPECT_LT(edge * 2, quiet) << p;
    }
}

TEST(UerdCosts, WithinABlockCostsFollowTheQuantizationSteps) {
    Component c(2, 2);
    for (unsigned p = 1; p < 64; ++p)
        c.At(0, 0, p) = static_cast<int16_t>(p % 5);
    const auto costs = c.Costs(kSteps);
    ASSERT_TRUE(costs);
    for (const auto& [a, b] : {std::pair{1u, 63u}, {8u, 9u}, {27u, 36u}, {7u, 56u}})
        EXPECT_FLOAT_EQ(costs->At(0, a).up / costs->At(0, b).up,
                        static_cast<float>(kSteps[a]) / static_cast<float>(kSteps[b]));
}

TEST(UerdCosts, WetWhereAChangeCannotBeMadeOrWouldStandOut) {
    Component c(3, 1);
    c.At(0, 0, 5) = 1023;
    c.At(0, 0, 6) = -1023;
    c.At(0, 0, 7) = 1022;
    c.At(0, 0, 8) = 2047;
    const auto costs = c.Costs(kSteps);
    const auto wide = c.Costs(kSteps, 2047);
    ASSERT_TRUE(costs && wide);
    struct Case {
        const UerdCosts& costs;
        size_t block;
        unsigned position;
        bool upWet;
        bool downWet;
    };
    const Case cases[] = {
        {*costs, 0, 5, true, false},  {*costs, 0, 6, false, true}, {*costs, 0, 7, false, false},
        {*costs, 0, 8, true, false},  {*wide, 0, 8, true, false},  {*wide, 0, 5, false, false},
        {*costs, 0, 0, true, true},   {*costs, 0, 64, true, true}, {*costs, 3, 1, true, true},
        {*costs, 1, 1, false, false}, // zero itself, but beside a busy block
        {*costs, 2, 1, true, true},   // flat among flat neighbours
    };
    for (const Case& k : cases) {
        const ChangeCosts cost = k.costs.At(k.block, k.position);
        EXPECT_EQ(std::isinf(cost.up), k.upWet) << k.block << "/" << k.position;
        EXPECT_EQ(std::isinf(cost.down), k.downWet) << k.block << "/" << k.position;
    }
    // All blocks flat: nothing may change.
    const auto flat = Component(2, 2).Costs(kSteps);
    ASSERT_TRUE(flat);
    EXPECT_TRUE(std::isinf(flat->At(3, 20).Flip()));
}

TEST(UerdCosts, RefusesInputsThatDoNotDescribeAComponent) {
    const std::vector<int16_t> four(4 * 64);
    std::vector<uint16_t> zeroStep = kSteps;
    zeroStep[12] = 0;
    struct Case {
        size_t coefficients;
        size_t width;
        size_t height;
        const std::vector<uint16_t>& steps;
        int limit;
    };
    const Case cases[] = {
        {4 * 64, 2, 3, kSteps, 1023}, {4 * 64 - 1, 2, 2, kSteps, 1023},
        {4 * 64, 0, 2, kSteps, 1023}, {4 * 64, 2, 2, zeroStep, 1023},
        {4 * 64, 2, 2, kSteps, 0},    {4 * 64, size_t{1} << 62, 4, kSteps, 1023},
    };
    for (const Case& k : cases)
        EXPECT_FALSE(UerdCosts::Make(std::span(four).first(k.coefficients), k.width, k.height,
                                     k.steps, k.limit));
    EXPECT_TRUE(UerdCosts::Make(four, 2, 2, kSteps));
    EXPECT_FALSE(UerdCosts::Make(four, 2, 2, std::span(kSteps).first(63)));
}

} // namespace
} // namespace lumora::weave
