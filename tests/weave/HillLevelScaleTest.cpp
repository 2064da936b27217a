// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/HillLevelScale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace lumora::weave {
namespace {

// How many levels begin at or below the sum, counted one by one.
uint8_t CountedLevel(uint64_t sum) {
    const auto value = static_cast<double>(sum);
    unsigned level = 0;
    for (unsigned l = 1; l <= 255; ++l)
        level += value >= HillLevelStart(l) ? 1 : 0;
    return static_cast<uint8_t>(level);
}

// Sums on both sides of every level's start, the ends of the range and a log-uniform spread.
std::vector<uint64_t> SumsToTry() {
    std::vector<uint64_t> sums = {
        0, 1, 2, uint64_t{1} << 53, (uint64_t{1} << 53) + 1, std::numeric_limits<uint64_t>::max()};
    for (unsigned level = 1; level <= 255; ++level) {
        const double start = HillLevelStart(level);
        if (start >= 0x1p64)
            continue;
        const auto below = static_cast<uint64_t>(std::floor(start));
        for (const uint64_t near : {below - 1, below, below + 1, below + 2})
            sums.push_back(near);
    }
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(0, 63);
    for (int i = 0; i < 5000; ++i)
        sums.push_back(static_cast<uint64_t>(std::exp2(exponent(random))) ^ (random() & 0xFFF));
    return sums;
}

TEST(HillLevelScale, AMeanOfOneIsLevel128AndLevelsAreAnEighthOfAnOctaveApart) {
    const double one = 225.0 * 0x1p32;
    EXPECT_LT(HillLevelStart(128), one);
    EXPECT_GT(HillLevelStart(129), one);
    EXPECT_DOUBLE_EQ(HillLevelStart(137) / HillLevelStart(129), 2.0);
}

TEST(HillLevelScale, EveryPassGivesTheCountOfLevelsBegunAtOrBelowTheSum) {
    const std::vector<uint64_t> sums = SumsToTry();
    // Runs of every length up to 9 from every offset reach the vector passes' short tails.
    for (size_t length : {sums.size(), size_t{1}, size_t{3}, size_t{4}, size_t{5}, size_t{9}}) {
        for (size_t first = 0; first + length <= sums.size();
             first += length == sums.size() ? 1 : 97) {
            std::vector<uint8_t> levels(length, 0xAA);
            std::vector<uint8_t> portable(length, 0xAA);
            HillLevelsOfSums(sums.data() + first, length, levels.data());
            PortableHillLevelsOfSums(sums.data() + first, length, portable.data());
            for (size_t i = 0; i < length; ++i) {
                const uint64_t sum = sums[first + i];
                ASSERT_EQ(levels[i], CountedLevel(sum)) << sum;
                ASSERT_EQ(portable[i], CountedLevel(sum)) << sum;
            }
        }
    }
}

} // namespace
} // namespace lumora::weave
