// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/TrellisCoder.h"
#include "weave/TrellisCosts.h"
#include "weave/TrellisLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>

namespace lumora::weave {
namespace {

constexpr float kWet = std::numeric_limits<float>::infinity();

enum class Shape { Uniform, Spread, Ties, Extremes };

struct CoverShape {
    size_t n, k;
    double wetShare;
    Shape shape;
};

struct Cover {
    std::vector<uint8_t> parities;
    std::vector<float> costs;
    std::vector<uint8_t> message;
};

// Random parities and message; costs of the shape (Ties: 0, 1 or 2; Extremes: an eighth
// 2^-20, the rest 2^20, far past the coder's most units), a share of them wet.
Cover MakeCover(const CoverShape& s, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    Cover c{std::vector<uint8_t>(s.n), std::vector<float>(s.n), std::vector<uint8_t>(s.k)};
    for (size_t i = 0; i < s.n; ++i) {
        c.parities[i] = static_cast<uint8_t>(random() & 1);
        const double spread = std::exp2(12 * unit(random) - 6);
        const float extreme = random() % 8 == 0 ? 0x1p-20f : 0x1p20f;
        c.costs[i] = s.shape == Shape::Uniform    ? 1.0f
                     : s.shape == Shape::Spread   ? static_cast<float>(spread)
                     : s.shape == Shape::Extremes ? extreme
                                                  : static_cast<float>(random() % 3);
        if (unit(random) < s.wetShare)
            c.costs[i] = kWet;
    }
    for (uint8_t& bit : c.message)
        bit = static_cast<uint8_t>(random() & 1);
    return c;
}

// The last: three of six segments carry a bit.
const CoverShape kCovers[] = {{1, 1, 0, Shape::Uniform},
                              {9, 4, 0, Shape::Ties},
                              {1000, 100, 0, Shape::Uniform},
                              {4000, 1000, 0.3, Shape::Spread},
                              {65536, 6553, 0.1, Shape::Spread},
                              {3 * 65536 + 17, 20000, 0.5, Shape::Spread},
                              {200000, 31, 0.9, Shape::Ties},
                              {5000, 4990, 0, Shape::Spread},
                              {70000, 70000, 0, Shape::Ties},
                              {70001, 35000, 0.1, Shape::Ties},
                              {5 * 65536 + 3, 3, 0, Shape::Uniform},
                              {65536, 1000, 0.1, Shape::Spread},
                              {20000, 100, 0, Shape::Uniform},
                              {65536, 32768, 0, Shape::Extremes},
                              {30000, 30000, 0, Shape::Extremes},
                              {40000, 4000, 0.2, Shape::Extremes}};

class TrellisCovers : public testing::TestWithParam<CoverShape> {};

size_t SegmentIndexOf(size_t n, size_t begin) {
    size_t index = 0;
    while (SegmentAt(n, n, index).begin != begin)
        ++index;
    return index;
}

TEST_P(TrellisCovers, TheReaderGetsTheMessageAndNoWetElementChanges) {
    const CoverShape& s = GetParam();
    const Cover c = MakeCover(s, static_cast<uint32_t>(s.n + s.k));
    std::vector<size_t> asked;
    const SegmentCover cover = [&](size_t begin, std::span<uint8_t> parities,
                                   std::span<float> costs) {
        asked.push_back(begin);
        std::copy_n(c.parities.begin() + static_cast<ptrdiff_t>(begin), parities.size(),
                    parities.begin());
        std::copy_n(c.costs.begin() + static_cast<ptrdiff_t>(begin), costs.size(), costs.begin());
        return true;
    };
    std::vector<size_t> flips;
    const TrellisResult result = EmbedParities(s.n, cover, c.message, flips);
    ASSERT_EQ(result.status, TrellisStatus::Ok);
    ASSERT_EQ(result.changes, flips.size());
    ASSERT_EQ(std::adjacent_find(flips.begin(), flips.end(), std::greater_equal<>()), flips.end());
    double cost = 0;
    std::vector<uint8_t> stego = c.parities;
    for (const size_t i : flips) {
        ASSERT_FALSE(std::isinf(c.costs.at(i))) << "wet element " << i << " changed";
        cost += c.costs[i];
        stego[i] ^= 1;
    }
    EXPECT_DOUBLE_EQ(result.cost, cost);
    std::vector<uint8_t> read;
    ASSERT_TRUE(ExtractParities(stego, s.k, read));
    EXPECT_EQ(read, c.message);
    // Any byte that is not zero is a parity of 1.
    for (size_t i = 0; i < stego.size(); ++i)
        stego[i] = static_cast<uint8_t>(stego[i] * (1 + i * 37 % 255));
    ASSERT_TRUE(ExtractParities(stego, s.k, read));
    EXPECT_EQ(read, c.message);
    // The coder asks once for each segment that carries bits, and for no other.
    std::vector<size_t> carrying;
    for (size_t i = 0; i < SegmentCount(s.n); ++i)
        if (SegmentAt(s.n, s.k, i).bitCount != 0)
            carrying.push_back(SegmentAt(s.n, s.k, i).begin);
    EXPECT_EQ(asked, carrying);

    // Handed over a segment at a time, each segment's flips come before the next is asked
    // for, lie inside it, and together are the flips above.
    std::vector<size_t> handed;
    asked.clear();
    const TrellisResult bySegment =
        EmbedParities(s.n, cover, c.message, [&](std::span<const size_t> segmentFlips) {
            const TrellisSegment last = SegmentAt(s.n, s.k, SegmentIndexOf(s.n, asked.back()));
            for (const size_t flip : segmentFlips)
                EXPECT_TRUE(flip >= last.begin && flip < last.begin + last.length) << flip;
            handed.insert(handed.end(), segmentFlips.begin(), segmentFlips.end());
            return true;
        });
    EXPECT_EQ(bySegment.changes, result.changes);
    EXPECT_EQ(handed, flips);
}

TEST_P(TrellisCovers, EveryPassChoosesTheSameFlips) {
    const Cover c = MakeCover(GetParam(), 17);
    std::vector<size_t> portable;
    const auto a = EmbedParities(c.parities, c.costs, c.message, portable, TrellisKernel::Portable);
    const struct {
        TrellisKernel kernel;
        bool available;
    } kPasses[] = {{TrellisKernel::Avx2, Avx2KernelAvailable()},
                   {TrellisKernel::Avx512, Avx512KernelAvailable()}};
    for (const auto& pass : kPasses) {
        if (!pass.available)
            continue; // the processor lacks it, and Fastest never picks it
        std::vector<size_t> flips;
        const auto b = EmbedParities(c.parities, c.costs, c.message, flips, pass.kernel);
        EXPECT_EQ(a.status, b.status) << static_cast<int>(pass.kernel);
        EXPECT_EQ(a.cost, b.cost) << static_cast<int>(pass.kernel);
        EXPECT_EQ(portable, flips) << static_cast<int>(pass.kernel);
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, TrellisCovers, testing::ValuesIn(kCovers));

// The least cost over every flip pattern of a small cover; infinity when none carries it.
double LeastCost(const Cover& c, const std::vector<double>& costs) {
    double best = kWet;
    std::vector<uint8_t> read;
    for (uint32_t pattern = 0; pattern < (1u << c.parities.size()); ++pattern) {
        double cost = 0;
        std::vector<uint8_t> y = c.parities;
        for (size_t i = 0; i < y.size(); ++i) {
            cost += (pattern >> i) & 1 ? costs[i] : 0.0;
            y[i] ^= (pattern >> i) & 1;
        }
        if (cost < best && ExtractParities(y, c.message.size(), read) && read == c.message)
            best = cost;
    }
    return best;
}

// The costs in the coder's units, wet ones infinite.
std::vector<double> Units(const std::vector<float>& costs) {
    std::vector<int16_t> units(costs.size());
    ScaleCosts(costs, CostScale(costs), units.data());
    std::vector<double> scaled;
    for (const int16_t unit : units)
        scaled.push_back(unit == kWetCost ? kWet : unit);
    return scaled;
}

// Least in the coder's units, which keep the cheap elements' costs to about 1 %.
TEST(TrellisCoder, FindsTheCheapestFlipsOrFailsExactlyWhenThereAreNone) {
    std::mt19937 random(3);
    int unsolvable = 0;
    for (uint32_t seed = 0; seed < 120; ++seed) {
        const size_t n = 2 + random() % 11;
        const CoverShape s{n, 1 + random() % n, 0.25, seed % 2 != 0 ? Shape::Ties : Shape::Spread};
        const Cover c = MakeCover(s, seed);
        const std::vector<double> units = Units(c.costs);
        const double least = LeastCost(c, units);
        std::vector<size_t> flips;
        const TrellisResult result = EmbedParities(c.parities, c.costs, c.message, flips);
        if (std::isinf(least)) {
            ++unsolvable;
            EXPECT_EQ(result.status, TrellisStatus::Unsolvable) << "n " << n << " k " << s.k;
            EXPECT_TRUE(flips.empty());
        } else {
            ASSERT_EQ(result.status, TrellisStatus::Ok) << "n " << n << " k " << s.k;
            double spent = 0;
            for (const size_t flip : flips)
                spent += units[flip];
            EXPECT_EQ(spent, least) << "n " << n << " k " << s.k;
        }
    }
    EXPECT_GT(unsolvable, 0); // the table reaches both outcomes
    EXPECT_LT(unsolvable, 120);
}

// The least cost in the coder's units of a cover of one segment, by the trellis's plain
// Viterbi recursion over 64-bit sums: no saturation, no lowering.
double ReferenceLeast(const Cover& c, const std::vector<double>& units) {
    const size_t n = c.parities.size();
    const size_t k = c.message.size();
    std::vector<double> states(kTrellisStates, kWet);
    states[0] = 0;
    for (size_t bit = 0; bit < k; ++bit) {
        if (bit != 0) {
            std::vector<double> shifted(kTrellisStates, kWet);
            for (unsigned s = 0; s < kTrellisStates / 2; ++s)
                shifted[s] = states[(s << 1) | (c.message[bit - 1] != 0 ? 1u : 0u)];
            states = shifted;
        }
        const size_t start = BlockStart(n, k, bit);
        const std::vector<uint16_t> columns = SubmatrixColumns(BlockStart(n, k, bit + 1) - start);
        const unsigned rows =
            k - bit >= kTrellisHeight ? kTrellisStates - 1 : (1u << (k - bit)) - 1;
        for (size_t j = 0; j < columns.size(); ++j) {
            const unsigned column = columns[j] & rows;
            const bool one = c.parities[start + j] != 0;
            const double cost = units[start + j];
            std::vector<double> next(kTrellisStates);
            for (unsigned s = 0; s < kTrellisStates; ++s)
                next[s] =
                    std::min(states[s] + (one ? cost : 0), states[s ^ column] + (one ? 0 : cost));
            states = next;
        }
    }
    return states[c.message.back() != 0 ? 1 : 0];
}

// Sums of many blocks, spreads far past the coder's 16-bit range and wet elements: the
// lowering at each block and the saturation keep the least cost.
TEST(TrellisCoder, KeepsTheLeastCostOverManyBlocks) {
    const CoverShape kShapes[] = {
        {3000, 300, 0, Shape::Spread},     {3000, 1500, 0.1, Shape::Spread},
        {4000, 2000, 0, Shape::Extremes},  {4000, 4000, 0, Shape::Extremes},
        {5000, 100, 0.3, Shape::Extremes}, {2000, 1000, 0.05, Shape::Ties}};
    for (const CoverShape& s : kShapes) {
        const Cover c = MakeCover(s, static_cast<uint32_t>(s.n * 7 + s.k));
        const std::vector<double> units = Units(c.costs);
        const double least = ReferenceLeast(c, units);
        std::vector<size_t> flips;
        const TrellisResult result = EmbedParities(c.parities, c.costs, c.message, flips);
        if (std::isinf(least)) {
            EXPECT_EQ(result.status, TrellisStatus::Unsolvable) << "n " << s.n << " k " << s.k;
            continue;
        }
        ASSERT_EQ(result.status, TrellisStatus::Ok) << "n " << s.n << " k " << s.k;
        double spent = 0;
        for (const size_t flip : flips)
            spent += units[flip];
        EXPECT_EQ(spent, least) << "n " << s.n << " k " << s.k;
    }
}

TEST(TrellisCoder, FailsWithItsReasonAndNoFlips) {
    // All wet; more bits than elements; not a number; negative; a cost missing.
    const struct {
        size_t n, k;
        float cost;
        size_t costCount;
        TrellisStatus status;
    } cases[] = {{100000, 500, kWet, 100000, TrellisStatus::Unsolvable},
                 {10, 11, 1, 10, TrellisStatus::TooManyBits},
                 {100, 10, std::nanf(""), 100, TrellisStatus::InvalidCost},
                 {100, 10, -1, 100, TrellisStatus::InvalidCost},
                 {100, 10, 1, 99, TrellisStatus::InvalidCost}};
    for (const auto& p : cases) {
        Cover c = MakeCover({p.n, p.k, 0, Shape::Uniform}, 1);
        c.costs.assign(p.costCount, p.cost);
        std::vector<size_t> flips{1, 2};
        const TrellisResult result = EmbedParities(c.parities, c.costs, c.message, flips);
        EXPECT_EQ(result.status, p.status) << p.n << " " << p.k << " " << p.cost;
        EXPECT_TRUE(flips.empty() && result.changes == 0);
    }
    std::vector<uint8_t> bits{1};
    EXPECT_FALSE(ExtractParities(std::vector<uint8_t>(5), 6, bits));
    EXPECT_TRUE(bits.empty());
}

TEST(TrellisCoder, StopsBetweenSegmentsWhenTheCoverSaysSo) {
    const Cover c = MakeCover({3 * 65536, 3000, 0, Shape::Uniform}, 4);
    size_t asked = 0;
    std::vector<size_t> flips;
    const TrellisResult embedded = EmbedParities(
        c.parities.size(),
        [&](size_t, std::span<uint8_t>, std::span<float> costs) {
            std::fill(costs.begin(), costs.end(), 1.0f);
            return ++asked < 2;
        },
        c.message, flips);
    EXPECT_EQ(embedded.status, TrellisStatus::Cancelled);
    EXPECT_EQ(asked, 2u);
    EXPECT_TRUE(flips.empty());
    // Refusing a segment's flips stops the work as well, before the next segment.
    asked = 0;
    const TrellisResult refused = EmbedParities(
        c.parities.size(),
        [&](size_t, std::span<uint8_t>, std::span<float> costs) {
            std::fill(costs.begin(), costs.end(), 1.0f);
            ++asked;
            return true;
        },
        c.message, [](std::span<const size_t>) { return false; });
    EXPECT_EQ(refused.status, TrellisStatus::Cancelled);
    EXPECT_EQ(refused.changes, 0u);
    EXPECT_EQ(asked, 1u);
    std::vector<uint8_t> bits{1};
    asked = 0;
    EXPECT_EQ(ExtractParities(
                  c.parities.size(), [&](size_t, std::span<uint8_t>) { return ++asked < 3; },
                  c.message.size(), bits),
              TrellisStatus::Cancelled);
    EXPECT_EQ(asked, 3u);
    EXPECT_TRUE(bits.empty());
}

} // namespace
} // namespace lumora::weave
