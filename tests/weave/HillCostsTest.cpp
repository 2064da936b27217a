// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/HillCosts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace lumora::weave {
namespace {

// Channel 0 of samples interleaved `step` to a pixel; the other channels hold other noise.
struct Plane {
    int w, h, step;
    std::vector<uint8_t> samples;

    uint8_t& At(int x, int y) { return samples[static_cast<size_t>((y * w + x) * step)]; }
    uint8_t At(int x, int y) const { return samples[static_cast<size_t>((y * w + x) * step)]; }
    SamplePlane View() const {
        const auto width = static_cast<size_t>(w);
        const auto stride = static_cast<size_t>(step);
        return {samples.data(), width, static_cast<size_t>(h), width * stride, stride};
    }
};

// A slope with noise of the given amplitude.
Plane Noise(int w, int h, int amplitude, uint32_t seed, int step = 1) {
    std::mt19937 random(seed);
    Plane p{w, h, step, std::vector<uint8_t>(static_cast<size_t>(w * h * step))};
    for (size_t i = 0; i < p.samples.size(); ++i)
        p.samples[i] = static_cast<uint8_t>(random());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.At(x, y) = static_cast<uint8_t>(std::clamp(
                100 + x + static_cast<int>(random() % (2 * amplitude + 1)) - amplitude, 0, 255));
    return p;
}

// The filters written out directly, in floating point, over the mirrored plane.
double ReferenceCost(const Plane& p, int x0, int y0) {
    const auto mirror = [](int i, int n) {
        while (i < 0 || i >= n)
            i = i < 0 ? -1 - i : 2 * n - 1 - i;
        return i;
    };
    const auto sample = [&](int x, int y) { return p.At(mirror(x, p.w), mirror(y, p.h)); };
    const auto residual = [&](int x, int y) {
        const int kernel[3][3] = {{-1, 2, -1}, {2, -4, 2}, {-1, 2, -1}};
        int r = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                r += kernel[dy + 1][dx + 1] * sample(x + dx, y + dy);
        return std::abs(r);
    };
    double sum = 0;
    for (int dy = -7; dy <= 7; ++dy)
        for (int dx = -7; dx <= 7; ++dx) {
            const int x = mirror(x0 + dx, p.w);
            const int y = mirror(y0 + dy, p.h);
            double mean = 0;
            for (int ey = -1; ey <= 1; ++ey)
                for (int ex = -1; ex <= 1; ++ex)
                    mean += residual(mirror(x + ex, p.w), mirror(y + ey, p.h)) / 9.0;
            sum += mean == 0 ? 32768 : 1 / mean;
        }
    return sum / 225;
}

class HillAgainstReference : public testing::TestWithParam<Plane> {};

TEST_P(HillAgainstReference, EveryCostIsTheFiltersResultWithinOneLevel) {
    const Plane& p = GetParam();
    HillCosts costs;
    ASSERT_TRUE(costs.AddChannel(p.View()));
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const float cost = costs.At(0, static_cast<size_t>(x), static_cast<size_t>(y)).Flip();
            ASSERT_NEAR(std::log2(cost), std::log2(ReferenceCost(p, x, y)), 1.01 / 8)
                << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Planes, HillAgainstReference,
                         testing::Values(Noise(1, 1, 0, 1), Noise(3, 2, 20, 2), Noise(5, 9, 3, 3),
                                         Noise(17, 20, 40, 4), Noise(40, 16, 1, 5),
                                         Noise(31, 33, 0, 6), Noise(12, 10, 50, 8, 3),
                                         Noise(9, 11, 2, 9, 4)));

TEST(HillCosts, TextureHidesChangesBetterThanSmoothAreasAndRangeEndsAreWet) {
    Plane p = Noise(64, 32, 30, 7); // noisy left half, a gentle slope on the right
    for (int y = 0; y < 32; ++y)
        for (int x = 32; x < 64; ++x)
            p.At(x, y) = static_cast<uint8_t>(60 + x + y);
    p.At(0, 0) = 0;
    p.At(1, 0) = 255;
    const Plane flat = Noise(64, 32, 0, 8);
    HillCosts costs;
    ASSERT_TRUE(costs.AddChannel(p.View()) && costs.AddChannel(flat.View()));
    EXPECT_EQ(costs.CostBytes(), 2u * 64 * 32);
    for (size_t y : {0u, 15u, 31u}) {
        EXPECT_LT(costs.At(0, 10, y).Flip() * 100, costs.At(0, 55, y).Flip()) << y;
        EXPECT_LT(costs.At(0, 10, y).Flip(), costs.At(1, 10, y).Flip()) << y; // flat channel
    }
    const ChangeCosts black = costs.At(0, 0, 0);
    const ChangeCosts white = costs.At(0, 1, 0);
    EXPECT_TRUE(!std::isinf(black.up) && std::isinf(black.down));
    EXPECT_TRUE(std::isinf(white.up) && !std::isinf(white.down));
    for (const ChangeCosts outside : {costs.At(0, 64, 0), costs.At(0, 0, 32), costs.At(2, 0, 0)})
        EXPECT_TRUE(std::isinf(outside.up) && std::isinf(outside.down));
    // The flip's cost, found without the sample, is the cheaper side's, at the range's ends too.
    for (size_t channel = 0; channel < 3; ++channel)
        for (size_t y = 0; y <= 32; y += 16)
            for (size_t x = 0; x <= 64; ++x)
                EXPECT_EQ(costs.FlipAt(channel, x, y), costs.At(channel, x, y).Flip())
                    << channel << " " << x << "," << y;
}

TEST(HillCosts, RefusesPlanesThatDoNotFitTheirStrides) {
    const std::vector<uint8_t> bytes(64);
    const SamplePlane planes[] = {
        {nullptr, 4, 4, 4, 1},      {bytes.data(), 0, 4, 4, 1}, {bytes.data(), 4, 0, 4, 1},
        {bytes.data(), 4, 4, 3, 1}, {bytes.data(), 4, 4, 8, 3}, {bytes.data(), 4, 4, 4, 0},
    };
    HillCosts costs;
    for (const SamplePlane& plane : planes)
        EXPECT_FALSE(costs.AddChannel(plane));
    EXPECT_EQ(costs.Channels(), 0u);
    EXPECT_TRUE(costs.AddChannel({bytes.data(), 4, 4, 10, 3}));
}

} // namespace
} // namespace lumora::weave
