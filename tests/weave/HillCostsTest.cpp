// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/HillCosts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace lumora::weave {
namespace {

// The filters written out directly, in floating point, over a mirrored plane.
std::vector<double> ReferenceCosts(const std::vector<uint8_t>& s, int w, int h) {
    const auto mirror = [](int i, int n) {
        while (i < 0 || i >= n)
            i = i < 0 ? -1 - i : 2 * n - 1 - i;
        return i;
    };
    const auto at = [&](const std::vector<double>& p, int x, int y) {
        return p[static_cast<size_t>(mirror(y, h) * w + mirror(x, w))];
    };
    const auto box = [&](const std::vector<double>& p, int reach) {
        std::vector<double> out(p.size());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double sum = 0;
                for (int dy = -reach; dy <= reach; ++dy)
                    for (int dx = -reach; dx <= reach; ++dx)
                        sum += at(p, x + dx, y + dy);
                out[static_cast<size_t>(y * w + x)] = sum / ((2 * reach + 1) * (2 * reach + 1));
            }
        return out;
    };
    const std::vector<double> samples(s.begin(), s.end());
    const int kernel[3][3] = {{-1, 2, -1}, {2, -4, 2}, {-1, 2, -1}};
    std::vector<double> residual(samples.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double r = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    r += kernel[dy + 1][dx + 1] * at(samples, x + dx, y + dy);
            residual[static_cast<size_t>(y * w + x)] = std::fabs(r);
        }
    std::vector<double> reciprocal = box(residual, 1);
    for (double& v : reciprocal)
        v = v == 0 ? 32768 : 1 / v;
    return box(reciprocal, 7);
}

struct Plane {
    int width;
    int height;
    std::vector<uint8_t> samples;
};

Plane Noise(int w, int h, int amplitude, uint32_t seed) {
    std::mt19937 random(seed);
    Plane p{w, h, std::vector<uint8_t>(static_cast<size_t>(w * h))};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.samples[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>(std::clamp(
                100 + x + static_cast<int>(random() % (2 * amplitude + 1)) - amplitude, 0, 255));
    return p;
}

SamplePlane View(const Plane& p) {
    return SamplePlane{p.samples.data(), static_cast<size_t>(p.width),
                       static_cast<size_t>(p.height), static_cast<size_t>(p.width), 1};
}

class HillAgainstReference : public testing::TestWithParam<Plane> {};

TEST_P(HillAgainstReference, EveryCostIsTheFiltersResultWithinOneLevel) {
    const Plane& p = GetParam();
    HillCosts costs;
    ASSERT_TRUE(costs.AddChannel(View(p)));
    const std::vector<double> expected = ReferenceCosts(p.samples, p.width, p.height);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const double cost = costs.At(0, static_cast<size_t>(x), static_cast<size_t>(y)).Flip();
            const double want = expected[static_cast<size_t>(y * p.width + x)];
            ASSERT_NEAR(std::log2(cost), std::log2(want), 1.01 / 8) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Planes, HillAgainstReference,
                         testing::Values(Noise(1, 1, 0, 1), Noise(3, 2, 20, 2), Noise(5, 9, 3, 3),
                                         Noise(17, 20, 40, 4), Noise(40, 16, 1, 5),
                                         Noise(31, 33, 0, 6)));

TEST(HillCosts, TextureHidesChangesBetterThanSmoothAreas) {
    // Left half noisy, right half a gentle gradient.
    Plane p = Noise(64, 32, 30, 7);
    for (int y = 0; y < 32; ++y)
        for (int x = 32; x < 64; ++x)
            p.samples[static_cast<size_t>(y * 64 + x)] = static_cast<uint8_t>(60 + x + y);
    HillCosts costs;
    ASSERT_TRUE(costs.AddChannel(View(p)));
    for (size_t y : {0u, 15u, 31u}) {
        const float textured = costs.At(0, 10, y).Flip();
        const float smooth = costs.At(0, 55, y).Flip();
        EXPECT_LT(textured * 100, smooth) << y;
        EXPECT_FALSE(std::isinf(smooth));
    }
}

TEST(HillCosts, EachChannelOfInterleavedSamplesHasItsOwnCosts) {
    const Plane red = Noise(12, 10, 50, 8);
    const Plane blue = Noise(12, 10, 2, 9);
    std::vector<uint8_t> rgb(12 * 10 * 3, 128);
    for (size_t i = 0; i < 120; ++i) {
        rgb[3 * i] = red.samples[i];
        rgb[3 * i + 2] = blue.samples[i];
    }
    HillCosts interleaved;
    HillCosts planar;
    for (size_t c = 0; c < 3; ++c)
        ASSERT_TRUE(interleaved.AddChannel(SamplePlane{rgb.data() + c, 12, 10, 36, 3}));
    ASSERT_TRUE(planar.AddChannel(View(red)));
    ASSERT_TRUE(planar.AddChannel(View(blue)));
    EXPECT_EQ(interleaved.Channels(), 3u);
    EXPECT_EQ(interleaved.CostBytes(), 360u);
    for (size_t y = 0; y < 10; ++y)
        for (size_t x = 0; x < 12; ++x) {
            EXPECT_EQ(interleaved.At(0, x, y).Flip(), planar.At(0, x, y).Flip());
            EXPECT_EQ(interleaved.At(2, x, y).Flip(), planar.At(1, x, y).Flip());
        }
    EXPECT_GT(interleaved.At(1, 5, 5).Flip(), interleaved.At(2, 5, 5).Flip()); // flat green
}

TEST(HillCosts, WetAtTheEndsOfTheSampleRangeAndOutsideThePlane) {
    Plane p = Noise(8, 8, 10, 10);
    p.samples[0] = 0;
    p.samples[1] = 255;
    p.samples[2] = 1;
    HillCosts costs;
    ASSERT_TRUE(costs.AddChannel(View(p)));
    struct Case {
        size_t channel;
        size_t x;
        size_t y;
        bool upWet;
        bool downWet;
    };
    const Case cases[] = {{0, 0, 0, false, true}, {0, 1, 0, true, false}, {0, 2, 0, false, false},
                          {0, 8, 0, true, true},  {0, 0, 8, true, true},  {1, 0, 0, true, true}};
    for (const Case& c : cases) {
        const ChangeCosts cost = costs.At(c.channel, c.x, c.y);
        EXPECT_EQ(std::isinf(cost.up), c.upWet) << c.channel << ":" << c.x << "," << c.y;
        EXPECT_EQ(std::isinf(cost.down), c.downWet) << c.channel << ":" << c.x << "," << c.y;
    }
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
    EXPECT_TRUE(costs.AddChannel(SamplePlane{bytes.data(), 4, 4, 10, 3}));
}

} // namespace
} // namespace lumora::weave
