// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/TrellisLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace lumora::weave {
namespace {

// Expected values worked out from the documented rules with arbitrary-precision integers,
// independently of the code.
TEST(SegmentRule, CutsAtTheDocumentedPlaces) {
    constexpr size_t kHuge = (size_t{1} << 40) + 5; // 16,777,217 segments
    const struct {
        size_t n, k, index;
        TrellisSegment s;
    } cases[] = {{65536, 6553, 0, {0, 65536, 0, 6553}},
                 {65537, 1, 0, {0, 32768, 0, 0}},
                 {65537, 1, 1, {32768, 32769, 0, 1}},
                 {65537, 65537, 1, {32768, 32769, 32768, 32769}},
                 {131073, 3, 2, {87382, 43691, 2, 1}},
                 {17000000, 500000, 0, {0, 65384, 0, 1923}},
                 {17000000, 500000, 259, {16934615, 65385, 498076, 1924}},
                 {17000000, 500000, 260, {0, 0, 0, 0}},
                 {kHuge, kHuge / 2, 16777216, {1099511562245, 65536, 549755781122, 32768}},
                 {kHuge, 3, 8388608, {549755781122, 65536, 1, 0}}};
    for (const auto& c : cases) {
        const TrellisSegment s = SegmentAt(c.n, c.k, c.index);
        EXPECT_EQ(std::tie(s.begin, s.length, s.bitBegin, s.bitCount),
                  std::tie(c.s.begin, c.s.length, c.s.bitBegin, c.s.bitCount))
            << c.n << " " << c.k << " " << c.index;
        EXPECT_EQ(SegmentCount(c.n), (c.n + 65535) / 65536);
    }
    EXPECT_EQ(SegmentCount(0), 0u);
}

TEST(Submatrix, ColumnsAreTheDocumentedDrawsWithFirstAndLastRowSetAndNoneTwice) {
    // The first three columns and the last of each width, from the documented rule.
    const struct {
        size_t width;
        uint16_t first[3];
        uint16_t last;
    } vectors[] = {
        {1, {0x2c1}, 0x2c1},
        {2, {0x235, 0x3b7}, 0x3b7},
        {10, {0x223, 0x2f3, 0x29f}, 0x359},
        {64, {0x2f3, 0x281, 0x2d9}, 0x33b},
        {65, {0x2b1, 0x385, 0x29b}, 0x313},
        {300, {0x393, 0x2af, 0x2fd}, 0x2c9},
    };
    for (const auto& v : vectors) {
        const std::vector<uint16_t> columns = SubmatrixColumns(v.width);
        ASSERT_EQ(columns.size(), v.width);
        EXPECT_TRUE(
            std::equal(columns.begin(), columns.begin() + std::min<size_t>(3, v.width), v.first))
            << v.width;
        EXPECT_EQ(columns.back(), v.last) << v.width;
        const std::set<uint16_t> distinct(columns.begin(),
                                          columns.begin() + std::min<size_t>(256, v.width));
        EXPECT_EQ(distinct.size(), std::min<size_t>(256, v.width));
        for (const uint16_t column : columns)
            EXPECT_TRUE((column & 0x201) == 0x201 && column < (1u << kTrellisHeight)) << column;
    }
}

} // namespace
} // namespace lumora::weave
