// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/UerdCosts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace lumora::weave {
namespace {

struct Component {
    size_t width, height;
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
    // 3 x 3 blocks with one AC coefficient each, at position 9: energy = q(9) |value|.
    Component c(3, 3);
    const int16_t values[3][3] = {{1, -2, 3}, {4, 5, -6}, {7, 8, 9}};
    for (size_t y = 0; y < 3; ++y)
        for (size_t x = 0; x < 3; ++x)
            c.At(x, y, 9) = values[y][x];
    const auto costs = c.Costs(kSteps);
    ASSERT_TRUE(costs);
    const float q = kSteps[9];
    const struct {
        size_t block;
        float spread; // by hand, in units of q; outside neighbours repeat the edge block
    } cases[] = {
        {4, 5 + 0.25f * (1 + 2 + 3 + 4 + 6 + 7 + 8 + 9)},
        {0, 1 + 0.25f * (3 * 1 + 2 * 2 + 2 * 4 + 5)},
        {8, 9 + 0.25f * (3 * 9 + 2 * 8 + 2 * 6 + 5)},
        {5, 6 + 0.25f * (2 + 3 + 3 + 5 + 8 + 9 + 9 + 6)},
    };
    for (const auto& k : cases)
        for (const unsigned p : {1u, 9u, 36u, 63u}) {
            const ChangeCosts cost = costs->At(k.block, p);
            EXPECT_FLOAT_EQ(cost.up, kSteps[p] / (q * k.spread)) << k.block << "/" << p;
            EXPECT_EQ(cost.down, cost.up);
        }
}

TEST(UerdCosts, PaddedRowsGiveTheCostsOfTheComponentAndWetPadding) {
    std::mt19937 random(8);
    Component c(5, 4);
    for (int16_t& value : c.coefficients)
        value = static_cast<int16_t>(static_cast<int>(random() % 7) - 3);
    // The same blocks in rows of 6, the sixth full of large values that must not count.
    std::vector<int16_t> padded(6 * 4 * 64, 900);
    for (size_t y = 0; y < 4; ++y)
        std::copy_n(c.coefficients.begin() + static_cast<ptrdiff_t>(y * 5 * 64), 5 * 64,
                    padded.begin() + static_cast<ptrdiff_t>(y * 6 * 64));
    const auto plain = c.Costs(kSteps);
    const auto rows = UerdCosts::Make(padded, 5, 4, kSteps, 1023, 6);
    ASSERT_TRUE(plain && rows);
    for (size_t y = 0; y < 4; ++y) {
        for (unsigned p = 1; p < 64; ++p) {
            for (size_t x = 0; x < 5; ++x) {
                EXPECT_EQ(rows->At(y * 6 + x, p).up, plain->At(y * 5 + x, p).up);
                EXPECT_EQ(rows->At(y * 6 + x, p).down, plain->At(y * 5 + x, p).down);
            }
            EXPECT_TRUE(std::isinf(rows->At(y * 6 + 5, p).Flip()));
        }
    }
    EXPECT_FALSE(UerdCosts::Make(padded, 7, 4, kSteps, 1023, 6)); // rows shorter than the width
}

TEST(UerdCosts, BusyBlocksAmongBusyNeighboursCostLessThanQuietOnes) {
    Component c(8, 4); // a busy left half; on the right one small coefficient per block
    std::mt19937 random(5);
    for (size_t b = 0; b < 32; ++b)
        for (unsigned p = 1; p < 64; ++p)
            c.At(b % 8, b / 8, p) = static_cast<int16_t>(
                b % 8 < 4 ? static_cast<int>(random() % 41) - 20 : (p == 1 ? 1 : 0));
    const auto costs = c.Costs(kSteps);
    ASSERT_TRUE(costs);
    for (unsigned p : {1u, 10u, 63u}) {
        // Busy among busy, quiet beside the busy half, quiet among quiet.
        EXPECT_LT(costs->At(9, p).up * 2, costs->At(12, p).up) << p;
        EXPECT_LT(costs->At(12, p).up * 2, costs->At(23, p).up) << p;
    }
}

TEST(UerdCosts, WetWhereAChangeCannotBeMadeOrWouldStandOut) {
    Component c(3, 1);
    c.At(0, 0, 5) = 1023;
    c.At(0, 0, 6) = -1023;
    c.At(0, 0, 7) = 1022;
    c.At(0, 0, 8) = 2047;
    const auto costs = c.Costs(kSteps);
    const auto wide = c.Costs(kSteps, 2047); // the limit of 12-bit samples
    ASSERT_TRUE(costs && wide);
    const struct {
        const UerdCosts& costs;
        size_t block;
        unsigned position;
        bool upWet, downWet;
    } cases[] = {
        {*costs, 0, 5, true, false},  {*costs, 0, 6, false, true}, {*costs, 0, 7, false, false},
        {*costs, 0, 8, true, false},  {*wide, 0, 8, true, false},  {*wide, 0, 5, false, false},
        {*costs, 0, 0, true, true},   {*costs, 0, 64, true, true}, {*costs, 3, 1, true, true},
        {*costs, 1, 1, false, false}, // zero itself, but beside a busy block
        {*costs, 2, 1, true, true},   // flat among flat neighbours
    };
    for (const auto& k : cases) {
        const ChangeCosts cost = k.costs.At(k.block, k.position);
        EXPECT_EQ(std::isinf(cost.up), k.upWet) << k.block << "/" << k.position;
        EXPECT_EQ(std::isinf(cost.down), k.downWet) << k.block << "/" << k.position;
        // The flip's cost, found without the coefficient, is the cheaper side's.
        EXPECT_EQ(k.costs.FlipAt(k.block, k.position), cost.Flip()) << k.block << "/" << k.position;
    }
    // The change goes to the side that is not wet whatever the tie bit says; on a tie, the bit.
    EXPECT_EQ(ChooseChange(costs->At(0, 5), true), -1);
    EXPECT_EQ(ChooseChange(costs->At(0, 6), false), 1);
    EXPECT_EQ(ChooseChange(costs->At(0, 7), true), 1);
    EXPECT_EQ(ChooseChange(costs->At(0, 7), false), -1);
}

TEST(UerdCosts, RefusesInputsThatDoNotDescribeAComponent) {
    const std::vector<int16_t> four(4 * 64);
    std::vector<uint16_t> zeroStep = kSteps;
    zeroStep[12] = 0;
    const std::span<const int16_t> all(four);
    EXPECT_TRUE(UerdCosts::Make(all, 2, 2, kSteps));
    EXPECT_FALSE(UerdCosts::Make(all, 2, 3, kSteps));
    EXPECT_FALSE(UerdCosts::Make(all.first(255), 2, 2, kSteps));
    EXPECT_FALSE(UerdCosts::Make(all, 0, 2, kSteps));
    EXPECT_FALSE(UerdCosts::Make(all, size_t{1} << 62, 4, kSteps)); // the product overflows
    EXPECT_FALSE(UerdCosts::Make(all, 2, 2, zeroStep));
    EXPECT_FALSE(UerdCosts::Make(all, 2, 2, std::span(kSteps).first(63)));
    EXPECT_FALSE(UerdCosts::Make(all, 2, 2, kSteps, 0));
}

} // namespace
} // namespace lumora::weave
