// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/WovenLayout.h"

#include <gtest/gtest.h>
#include <ostream>

namespace lumora {
namespace {

struct LayoutCase {
    const char* what;
    uint64_t elements, ceilingCount;
    WovenFit fit;
    uint64_t bodyPositions, capacityBytes, limitBytes;
};

std::ostream& operator<<(std::ostream& out, const LayoutCase& c) {
    return out << c.what;
}

class Layout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Layout, RegionsAndCapacity) {
    const LayoutCase& c = GetParam();
    const WovenLayout layout = LayoutWoven(c.elements, c.ceilingCount);
    EXPECT_EQ(layout.fit, c.fit);
    EXPECT_EQ(layout.elements, c.elements);
    EXPECT_EQ(layout.bodyPositions, c.bodyPositions);
    EXPECT_EQ(layout.capacityBytes, c.capacityBytes);
    EXPECT_EQ(layout.limitBytes, c.limitBytes);
}

// S + H = 14336 positions go to the salt and the header; the body needs 272 more for its tag
// and one byte at one bit per two positions. The ceiling is floor(count / 80) bytes, less 72.
constexpr uint64_t kMin = 14336 + 272;
INSTANTIATE_TEST_SUITE_P(
    Edges, Layout,
    ::testing::Values(
        LayoutCase{"nothing", 0, 0, WovenFit::TooSmall, 0, 0, 0},
        LayoutCase{"salt and header only", 14336, 14336, WovenFit::TooSmall, 0, 0, 0},
        LayoutCase{"one short", kMin - 1, kMin, WovenFit::TooSmall, 0, 0, 0},
        LayoutCase{"smallest", kMin, kMin, WovenFit::Fits, 272, 1, 1},
        LayoutCase{"limit rounds down", kMin + 15, kMin, WovenFit::Fits, 287, 1, 1},
        LayoutCase{"limit steps up", kMin + 16, kMin, WovenFit::Fits, 288, 2, 2},
        LayoutCase{"ceiling below the overhead", 100'000, 80 * 72 + 79, WovenFit::Fits, 85'664, 0,
                   5'338},
        LayoutCase{"ceiling one byte", 100'000, 80 * 73, WovenFit::Fits, 85'664, 1, 5'338},
        LayoutCase{"ceiling rounds down", 100'000, 80 * 73 + 79, WovenFit::Fits, 85'664, 1, 5'338},
        LayoutCase{"ceiling above the limit", 100'000, 10'000'000, WovenFit::Fits, 85'664, 5'338,
                   5'338},
        LayoutCase{"largest", 0xFFFFFFFF, 0xFFFFFFFF, WovenFit::Fits, 0xFFFFFFFF - 14336,
                   53'687'019, (0xFFFFFFFF - 14336) / 16 - 16},
        LayoutCase{"one too many", 0x100000000, 0x100000000, WovenFit::TooLarge, 0, 0, 0},
        LayoutCase{"12-megapixel JPEG", 17'000'000, 4'000'000, WovenFit::Fits, 16'985'664, 49'928,
                   1'061'588}));

} // namespace
} // namespace lumora
