// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/PositionOrder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

namespace lumora {
namespace {

const uint8_t kZeroKey[PositionOrder::kKeySize] = {};
const uint8_t kOtherKey[PositionOrder::kKeySize] = {1};

std::vector<uint32_t> Images(const PositionOrder& order, uint32_t first, size_t count) {
    std::vector<uint32_t> values(count);
    std::iota(values.begin(), values.end(), first);
    order.Map(values.data(), values.size());
    return values;
}

// Domains at the edges of the network's widths: one bit short of a width, a width, one more.
class Bijection : public ::testing::TestWithParam<uint64_t> {};

TEST_P(Bijection, EveryIndexHasItsOwnImageInsideTheDomain) {
    const uint64_t domain = GetParam();
    for (const uint8_t* key : {kZeroKey, kOtherKey}) {
        const PositionOrder order(key, domain);
        const std::vector<uint32_t> images = Images(order, 0, domain);
        std::vector<bool> seen(domain);
        for (uint32_t index = 0; index < domain; ++index) {
            const uint64_t image = images[index];
            ASSERT_LT(image, domain) << index;
            ASSERT_FALSE(seen[image]) << "two indices reach " << image;
            seen[image] = true;
            ASSERT_EQ(order.At(index), image) << index;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SmallDomains, Bijection,
                         ::testing::Values(1, 2, 3, 4, 5, 7, 8, 9, 255, 256, 257, 4096, 65535,
                                           65536, 65537, 1'000'003));

TEST(PositionOrder, IndicesOutsideTheDomainComeBackUnchanged) {
    const PositionOrder order(kOtherKey, 300);
    std::vector<uint32_t> values = {300, 511, 512, UINT32_MAX};
    const std::vector<uint32_t> before = values;
    order.Map(values.data(), values.size());
    EXPECT_EQ(values, before);
    EXPECT_EQ(order.At(300), 300u);
    EXPECT_EQ(PositionOrder(kOtherKey, 0).At(0), 0u);
    // Indices are 32-bit: a larger domain is cut to the largest one.
    EXPECT_EQ(PositionOrder(kOtherKey, uint64_t{1} << 40).Domain(), PositionOrder::kMaxDomain);
}

TEST(PositionOrder, KeysGiveUnrelatedOrders) {
    constexpr uint64_t kDomain = 65537;
    const std::vector<uint32_t> zero = Images(PositionOrder(kZeroKey, kDomain), 0, kDomain);
    const std::vector<uint32_t> other = Images(PositionOrder(kOtherKey, kDomain), 0, kDomain);
    size_t same = 0;
    for (size_t i = 0; i < kDomain; ++i)
        same += zero[i] == other[i];
    // Unrelated orders agree about once; a key that barely matters agrees nearly everywhere.
    EXPECT_LE(same, 10u);
}

// A run of consecutive indices (a coder's segment) lands all over the domain, never in runs.
TEST(PositionOrder, ConsecutiveIndicesSpreadOverTheDomain) {
    for (const uint64_t domain : {uint64_t{1'000'000}, uint64_t{16'777'217}, uint64_t{1} << 31,
                                  PositionOrder::kMaxDomain}) {
        SCOPED_TRACE(domain);
        const std::vector<uint32_t> images = Images(PositionOrder(kOtherKey, domain), 12345, 65536);
        size_t neighbours = 0;
        std::vector<size_t> sixteenths(16);
        for (size_t i = 0; i < images.size(); ++i) {
            if (i > 0)
                neighbours += images[i] == images[i - 1] + 1 || images[i] + 1 == images[i - 1];
            ++sixteenths[images[i] / ((domain + 15) / 16)];
        }
        EXPECT_LE(neighbours, 3u);
        const auto [fewest, most] = std::minmax_element(sixteenths.begin(), sixteenths.end());
        EXPECT_GT(*fewest, 3800u);
        EXPECT_LT(*most, 4400u);
    }
}

TEST(PositionOrder, ZeroKeyVectors) {
    EXPECT_EQ(Images(PositionOrder(kZeroKey, 10), 0, 10),
              (std::vector<uint32_t>{6, 0, 3, 8, 9, 7, 2, 5, 4, 1}));
    EXPECT_EQ(
        Images(PositionOrder(kZeroKey, 1'000'000), 0, 8),
        (std::vector<uint32_t>{416092, 420318, 618205, 615664, 97130, 515551, 945373, 827901}));
}

} // namespace
} // namespace lumora
