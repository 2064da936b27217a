// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/TrellisCoder.h"
#include "weave/TrellisLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace lumora::weave {
namespace {

constexpr float kWet = std::numeric_limits<float>::infinity();

enum class Shape { Uniform, Spread, Ties };

struct Cover {
    std::vector<uint8_t> parities;
    std::vector<float> costs;
    std::vector<uint8_t> message;
};

// Random parities and message; costs of the shape, a share of them wet.
Cover MakeCover(size_t n, size_t k, double wetShare, Shape shape, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    Cover c;
    c.parities.resize(n);
    c.costs.resize(n);
    c.message.resize(k);
    for (size_t i = 0; i < n; ++i) {
        c.parities[i] = static_cast<uint8_t>(random() & 1);
        switch (shape) {
        case Shape::Uniform:
            c.costs[i] = 1.0f;
            break;
        case Shape::Spread:
            c.costs[i] = static_cast<float>(std::exp2(12 * unit(random) - 6));
            break;
        case Shape::Ties:
            c.costs[i] = static_cast<float>(random() % 3);
            break;
        }
        if (unit(random) < wetShare)
            c.costs[i] = kWet;
    }
    for (uint8_t& bit : c.message)
        bit = static_cast<uint8_t>(random() & 1);
    return c;
}

std::vector<uint8_t> Flipped(std::vector<uint8_t> parities, const std::vector<size_t>& flips) {
    for (const size_t i : flips)
        parities.at(i) ^= 1;
    return parities;
}

struct RoundTrip {
    size_t n;
    size_t k;
    double wetShare;
    Shape shape;
};

class TrellisRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(TrellisRoundTrip, TheReaderGetsTheMessageAndNoWetElementChanges) {
    const RoundTrip& p = GetParam();
    const Cover c = MakeCover(p.n, p.k, p.wetShare, p.shape, static_cast<uint32_t>(p.n + p.k));
    std::vector<size_t> flips;
    const TrellisResult result = EmbedParities(c.parities, c.costs, c.message, flips);
    ASSERT_EQ(result.status, TrellisStatus::Ok);
    ASSERT_EQ(result.changes, flips.size());
    double cost = 0;
    for (size_t i = 0; i < flips.size(); ++i) {
        ASSERT_LT(flips[i], p.n);
        if (i > 0) {
            ASSERT_LT(flips[i - 1], flips[i]);
        }
        ASSERT_FALSE(std::isinf(c.costs[flips[i]])) << "wet element " << flips[i] << " changed";
        cost += c.costs[flips[i]];
    }
    EXPECT_DOUBLE_EQ(result.cost, cost);
    std::vector<uint8_t> read;
    ASSERT_TRUE(ExtractParities(Flipped(c.parities, flips), p.k, read));
    EXPECT_EQ(read, c.message);
}

INSTANTIATE_TEST_SUITE_P(Covers, TrellisRoundTrip,
                         testing::Values(RoundTrip{1, 1, 0, Shape::Uniform},
                                         RoundTrip{9, 4, 0, Shape::Ties},
                                         RoundTrip{1000, 100, 0, Shape::Uniform},
                                         RoundTrip{4000, 1000, 0.3, Shape::Spread},
                                         RoundTrip{65536, 6553, 0.1, Shape::Spread},
                                         RoundTrip{3 * 65536 + 17, 20000, 0.5, Shape::Spread},
                                         RoundTrip{200000, 31, 0.9, Shape::Ties},
                                         RoundTrip{5000, 4990, 0, Shape::Spread},
                                         RoundTrip{70000, 70000, 0, Shape::Ties},
                                         RoundTrip{70001, 35000, 0.1, Shape::Ties}));

// The least cost over every flip pattern of a small cover, or infinity when none carries the
// message.
double LeastCost(const Cover& c) {
    const size_t n = c.parities.size();
    double best = kWet;
    std::vector<uint8_t> read;
    for (uint32_t pattern = 0; pattern < (1u << n); ++pattern) {
        double cost = 0;
        std::vector<uint8_t> y = c.parities;
        for (size_t i = 0; i < n; ++i) {
            if ((pattern >> i) & 1) {
                cost += c.costs[i];
                y[i] ^= 1;
            }
        }
        if (cost < best && ExtractParities(y, c.message.size(), read) && read == c.message)
            best = cost;
    }
    return best;
}

TEST(TrellisCoder, FindsTheCheapestFlipsOrFailsExactlyWhenThereAreNone) {
    std::mt19937 random(3);
    int unsolvable = 0;
    for (uint32_t seed = 0; seed < 120; ++seed) {
        const size_t n = 2 + random() % 11;
        const size_t k = 1 + random() % n;
        const Cover c = MakeCover(n, k, 0.25, seed % 2 != 0 ? Shape::Ties : Shape::Spread, seed);
        const double least = LeastCost(c);
        std::vector<size_t> flips;
        const TrellisResult result = EmbedParities(c.parities, c.costs, c.message, flips);
        if (std::isinf(least)) {
            ++unsolvable;
            EXPECT_EQ(result.status, TrellisStatus::Unsolvable) << "n " << n << " k " << k;
            EXPECT_TRUE(flips.empty());
        } else {
            ASSERT_EQ(result.status, TrellisStatus::Ok) << "n " << n << " k " << k;
            EXPECT_NEAR(result.cost, least, 1e-4 * least) << "n " << n << " k " << k;
        }
    }
    EXPECT_GT(unsolvable, 0); // the table reaches both outcomes
    EXPECT_LT(unsolvable, 120);
}

struct Refusal {
    const char* name;
    size_t n;
    size_t k;
    float badCost;
    size_t costCount;
    TrellisStatus status;
};

class TrellisRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(TrellisRefusal, FailsWithItsReasonAndNoFlips) {
    const Refusal& p = GetParam();
    Cover c = MakeCover(p.n, p.k, 0, Shape::Spread, 1);
    c.costs.assign(p.costCount, p.badCost);
    std::vector<size_t> flips{1, 2};
    const TrellisResult result = EmbedParities(c.parities, c.costs, c.message, flips);
    EXPECT_EQ(result.status, p.status);
    EXPECT_TRUE(flips.empty());
    EXPECT_EQ(result.changes, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, TrellisRefusal,
    testing::Values(Refusal{"AllWet", 100000, 500, kWet, 100000, TrellisStatus::Unsolvable},
                    Refusal{"MoreBitsThanElements", 10, 11, 1, 10, TrellisStatus::TooManyBits},
                    Refusal{"NotANumber", 100, 10, std::nanf(""), 100, TrellisStatus::InvalidCost},
                    Refusal{"Negative", 100, 10, -1, 100, TrellisStatus::InvalidCost},
                    Refusal{"CostsMissing", 100, 10, 1, 99, TrellisStatus::InvalidCost}),
    [](const testing::TestParamInfo<Refusal>& info) { return info.param.name; });

TEST(TrellisCoder, ExtractionRefusesMoreBitsThanParities) {
    std::vector<uint8_t> bits{1};
    EXPECT_FALSE(ExtractParities(std::vector<uint8_t>(5), 6, bits));
    EXPECT_TRUE(bits.empty());
}

TEST(TrellisCoder, AsksForEachSegmentWithBitsOnceAndForNoOther) {
    const size_t n = 5 * 65536 + 3;
    const std::vector<uint8_t> message(3, 1); // three of the six segments carry a bit
    std::vector<size_t> asked;
    const SegmentCover cover = [&](size_t begin, std::span<uint8_t> parities,
                                   std::span<float> costs) {
        asked.push_back(begin);
        EXPECT_EQ(parities.size(), costs.size());
        std::fill(parities.begin(), parities.end(), 0);
        std::fill(costs.begin(), costs.end(), 1.0f);
    };
    std::vector<size_t> flips;
    ASSERT_TRUE(EmbedParities(n, cover, message, flips).Ok());
    std::vector<size_t> expected;
    for (size_t s = 0; s < SegmentCount(n); ++s) {
        const TrellisSegment segment = SegmentAt(n, message.size(), s);
        if (segment.bitCount != 0)
            expected.push_back(segment.begin);
    }
    EXPECT_EQ(expected.size(), 3u);
    EXPECT_EQ(asked, expected);
}

struct KernelCase {
    size_t n;
    size_t k;
    double wetShare;
    Shape shape;
};

class TrellisKernels : public testing::TestWithParam<KernelCase> {};

TEST_P(TrellisKernels, Avx2AndPortablePassesChooseTheSameFlips) {
    if (!Avx2KernelAvailable())
        GTEST_SKIP() << "the processor has no AVX2";
    const KernelCase& p = GetParam();
    const Cover c = MakeCover(p.n, p.k, p.wetShare, p.shape, 17);
    std::vector<size_t> portable;
    std::vector<size_t> avx2;
    const TrellisResult a =
        EmbedParities(c.parities, c.costs, c.message, portable, TrellisKernel::Portable);
    const TrellisResult b =
        EmbedParities(c.parities, c.costs, c.message, avx2, TrellisKernel::Avx2);
    EXPECT_EQ(a.status, b.status);
    EXPECT_EQ(a.cost, b.cost);
    EXPECT_EQ(portable, avx2);
}

INSTANTIATE_TEST_SUITE_P(Covers, TrellisKernels,
                         testing::Values(KernelCase{100000, 10000, 0.05, Shape::Spread},
                                         KernelCase{100000, 3000, 0.2, Shape::Ties},
                                         KernelCase{20000, 10000, 0, Shape::Uniform},
                                         KernelCase{3000, 2900, 0.01, Shape::Ties}));

} // namespace
} // namespace lumora::weave
