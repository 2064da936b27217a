// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/TrellisLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace lumora::weave {
namespace {

struct SegmentCase {
    size_t elements;
    size_t bits;
    size_t index;
    TrellisSegment expected;
};

class SegmentRule : public testing::TestWithParam<SegmentCase> {};

// Expected values worked out from the rule with exact integers, independently of the code.
TEST_P(SegmentRule, CutsAtTheDocumentedPlaces) {
    const SegmentCase& c = GetParam();
    const TrellisSegment s = SegmentAt(c.elements, c.bits, c.index);
    EXPECT_EQ(s.begin, c.expected.begin);
    EXPECT_EQ(s.length, c.expected.length);
    EXPECT_EQ(s.bitBegin, c.expected.bitBegin);
    EXPECT_EQ(s.bitCount, c.expected.bitCount);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, SegmentRule,
    testing::Values(SegmentCase{65536, 6553, 0, {0, 65536, 0, 6553}},
                    SegmentCase{65537, 1, 0, {0, 32768, 0, 0}},
                    SegmentCase{65537, 1, 1, {32768, 32769, 0, 1}},
                    SegmentCase{65537, 65537, 1, {32768, 32769, 32768, 32769}},
                    SegmentCase{131073, 3, 1, {43691, 43691, 1, 1}},
                    SegmentCase{131073, 3, 2, {87382, 43691, 2, 1}},
                    SegmentCase{17000000, 500000, 0, {0, 65384, 0, 1923}},
                    SegmentCase{17000000, 500000, 259, {16934615, 65385, 498076, 1924}},
                    SegmentCase{17000000, 500000, 260, {0, 0, 0, 0}}));

TEST(SegmentRule, SegmentsTileTheSequenceAndTheMessageWithinTheLengthLimit) {
    const size_t sizes[][2] = {{1, 1},
                               {65536, 0},
                               {65537, 65537},
                               {196608, 7},
                               {196609, 196608},
                               {1000003, 99991},
                               {(size_t{1} << 40) + 5, size_t{1} << 39}};
    for (const auto& [n, k] : sizes) {
        const size_t count = SegmentCount(n);
        EXPECT_EQ(count, (n + 65535) / 65536) << n;
        // Every segment of the small sequences; the ends and the middle of the largest.
        std::vector<size_t> indices{0, count / 2, count - 1};
        for (size_t i = 0; count < 100 && i < count; ++i)
            indices.push_back(i);
        for (const size_t i : indices) {
            const TrellisSegment s = SegmentAt(n, k, i);
            ASSERT_GT(s.length, 0u);
            ASSERT_LE(s.length, kMaxSegmentLength);
            ASSERT_LE(s.bitCount, s.length);
            const TrellisSegment next = SegmentAt(n, k, i + 1);
            const size_t end = i + 1 < count ? next.begin : n;
            const size_t bitEnd = i + 1 < count ? next.bitBegin : k;
            ASSERT_EQ(s.begin + s.length, end) << n << " segment " << i;
            ASSERT_EQ(s.bitBegin + s.bitCount, bitEnd) << n << " segment " << i;
        }
        EXPECT_EQ(SegmentAt(n, k, 0).begin, 0u);
        EXPECT_EQ(SegmentAt(n, k, 0).bitBegin, 0u);
    }
    EXPECT_EQ(SegmentCount(0), 0u);
}

TEST(BlockRule, BlocksAreOfTwoNeighbouringWidthsAndUseEveryColumn) {
    const size_t shapes[][2] = {{65536, 6553}, {10, 10}, {10, 3}, {65535, 1}, {7, 2}};
    for (const auto& [length, bits] : shapes) {
        EXPECT_EQ(BlockStart(length, bits, 0), 0u);
        EXPECT_EQ(BlockStart(length, bits, bits), length);
        for (size_t i = 0; i < bits; ++i) {
            const size_t width = BlockStart(length, bits, i + 1) - BlockStart(length, bits, i);
            EXPECT_GE(width, length / bits);
            EXPECT_LE(width, (length + bits - 1) / bits);
        }
    }
}

TEST(Submatrix, ColumnsAreTheDocumentedDrawsWithFirstAndLastRowSetAndNoneTwice) {
    // Worked out from the documented rule with arbitrary-precision integers: the first
    // three columns and the last of each width.
    const struct {
        size_t width;
        uint16_t first[3];
        uint16_t last;
    } vectors[] = {
        {1, {0x2c1, 0, 0}, 0x2c1},          {2, {0x235, 0x3b7, 0}, 0x3b7},
        {10, {0x223, 0x2f3, 0x29f}, 0x359}, {64, {0x2f3, 0x281, 0x2d9}, 0x33b},
        {65, {0x2b1, 0x385, 0x29b}, 0x313}, {300, {0x393, 0x2af, 0x2fd}, 0x2c9},
    };
    for (const auto& v : vectors) {
        const std::vector<uint16_t> columns = SubmatrixColumns(v.width);
        ASSERT_EQ(columns.size(), v.width);
        for (size_t j = 0; j < std::min<size_t>(3, v.width); ++j)
            EXPECT_EQ(columns[j], v.first[j]) << v.width << "/" << j;
        EXPECT_EQ(columns.back(), v.last) << v.width;
        std::set<uint16_t> distinct;
        for (size_t j = 0; j < v.width; ++j) {
            EXPECT_EQ(columns[j] & 0x201, 0x201);
            EXPECT_LT(columns[j], 1u << kTrellisHeight);
            if (j < 256) {
                EXPECT_TRUE(distinct.insert(columns[j]).second) << v.width << "/" << j;
            }
        }
    }
}

} // namespace
} // namespace lumora::weave
