// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/PositionOrder.h"
#include "platform/VectorLevel.h"

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

// Domains at the edges of the network's widths: one short of a width, a width, one more.
class Bijection : public ::testing::TestWithParam<uint32_t> {};

TEST_P(Bijection, EveryIndexHasItsOwnImageAndEachKeyItsOwnOrder) {
    const uint32_t domain = GetParam();
    const std::vector<uint32_t> zero = Images(PositionOrder(kZeroKey, domain), 0, domain);
    const PositionOrder order(kOtherKey, domain);
    const std::vector<uint32_t> images = Images(order, 0, domain);
    std::vector<bool> seen(domain);
    size_t sameAsZeroKey = 0;
    for (uint32_t index = 0; index < domain; ++index) {
        const uint32_t image = images[index];
        ASSERT_LT(image, domain) << index;
        ASSERT_FALSE(seen[image]) << "two indices reach " << image;
        seen[image] = true;
        ASSERT_EQ(order.At(index), image) << index; // one at a time as many at a time
        sameAsZeroKey += image == zero[index];
    }
    // Unrelated orders agree about once; a key that barely mattered would agree everywhere.
    EXPECT_LE(sameAsZeroKey, 10 + domain / 1000);
}

TEST_P(Bijection, InverseUndoesEveryImage) {
    const uint32_t domain = GetParam();
    const PositionOrder order(kOtherKey, domain);
    std::vector<uint32_t> values = Images(order, 0, domain);
    for (uint32_t index = 0; index < domain; ++index)
        ASSERT_EQ(order.InverseAt(values[index]), index) << index;
    order.Unmap(values.data(), values.size());
    for (uint32_t index = 0; index < domain; ++index)
        ASSERT_EQ(values[index], index) << "many at a time, " << index;
}

INSTANTIATE_TEST_SUITE_P(SmallDomains, Bijection,
                         ::testing::Values(1, 2, 3, 4, 5, 7, 8, 9, 255, 256, 257, 4096, 65535,
                                           65536, 65537, 1'000'003));

// Large domains, sampled: a run of consecutive images (the walks of whole blocks side by
// side) and single indices spread over the domain. Domains just past a power of two make the
// walks longest, in both directions.
class LargeBijection : public ::testing::TestWithParam<uint64_t> {};

TEST_P(LargeBijection, InverseUndoesSampledImages) {
    const uint64_t domain = GetParam();
    const PositionOrder order(kOtherKey, domain);
    const auto last = static_cast<uint32_t>(domain - 1);
    std::vector<uint32_t> images(70'000);
    std::iota(images.begin(), images.end(), last - static_cast<uint32_t>(images.size() - 1));
    order.Unmap(images.data(), images.size());
    order.Map(images.data(), images.size());
    for (size_t i = 0; i < images.size(); ++i)
        ASSERT_EQ(images[i], last - (images.size() - 1) + i) << "Map(Unmap(x)) == x";
    for (uint64_t index = 0; index < domain; index += domain / 997 + 1) {
        const auto i = static_cast<uint32_t>(index);
        ASSERT_EQ(order.InverseAt(order.At(i)), i) << i;
    }
    // Values outside the domain, among others and enough of them to go eight at a time,
    // come back unchanged.
    std::vector<uint32_t> mixed(300);
    for (size_t i = 0; i < mixed.size(); ++i)
        mixed[i] = i % 3 == 0 ? last + 1 + static_cast<uint32_t>(i % 2) : static_cast<uint32_t>(i);
    std::vector<uint32_t> walked = mixed;
    order.Unmap(walked.data(), walked.size());
    for (size_t i = 0; i < mixed.size(); ++i)
        ASSERT_EQ(mixed[i] > last ? walked[i] : order.At(walked[i]), mixed[i]) << i;
    EXPECT_EQ(order.InverseAt(UINT32_MAX), UINT32_MAX);
}

INSTANTIATE_TEST_SUITE_P(Domains, LargeBijection,
                         ::testing::Values(uint64_t{17'000'000}, uint64_t{1} << 24,
                                           (uint64_t{1} << 24) + 1, (uint64_t{1} << 31) + 3,
                                           PositionOrder::kMaxDomain - 1));

// The narrower walks, which processors without AVX-512 or AVX2 take, give what the default
// walk gives; the tests above hold the default walk to At and InverseAt.
TEST(PositionOrder, NarrowerWalksGiveWhatTheDefaultWalksGive) {
    for (const uint64_t domain : {uint64_t{257}, uint64_t{65537}, uint64_t{17'000'000},
                                  (uint64_t{1} << 24) + 1, (uint64_t{1} << 31) + 3}) {
        const PositionOrder order(kOtherKey, domain);
        // A run that ends past the domain, so some values are outside it.
        std::vector<uint32_t> values(5000);
        std::iota(values.begin(), values.end(), static_cast<uint32_t>(domain - 4000));
        for (const bool forward : {true, false}) {
            const auto walk = [&](std::vector<uint32_t> v) {
                forward ? order.Map(v.data(), v.size()) : order.Unmap(v.data(), v.size());
                return v;
            };
            const std::vector<uint32_t> viaDefault = walk(values);
            for (const VectorLevel level : {VectorLevel::Avx2, VectorLevel::Portable}) {
                const VectorCeiling ceiling(level);
                EXPECT_EQ(viaDefault, walk(values))
                    << domain << (forward ? " forward" : " backward") << " level "
                    << static_cast<int>(level);
            }
        }
    }
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

TEST(PositionOrder, ZeroKeyVectorAndIndicesOutsideTheDomain) {
    // The public order of the woven format; docs/FORMAT.md lists it.
    EXPECT_EQ(Images(PositionOrder(kZeroKey, 10), 0, 10),
              (std::vector<uint32_t>{6, 0, 3, 8, 9, 7, 2, 5, 4, 1}));
    std::vector<uint32_t> outside = {300, 511, 512, UINT32_MAX};
    PositionOrder(kOtherKey, 300).Map(outside.data(), outside.size());
    EXPECT_EQ(outside, (std::vector<uint32_t>{300, 511, 512, UINT32_MAX}));
    EXPECT_EQ(PositionOrder(kOtherKey, 0).At(0), 0u);
    // An empty domain maps nothing, also many values at a time.
    std::vector<uint32_t> many(100);
    std::iota(many.begin(), many.end(), 0);
    const std::vector<uint32_t> unchanged = many;
    PositionOrder(kOtherKey, 0).Map(many.data(), many.size());
    EXPECT_EQ(many, unchanged);
    PositionOrder(kOtherKey, 0).Unmap(many.data(), many.size());
    EXPECT_EQ(many, unchanged);
    EXPECT_EQ(PositionOrder(kOtherKey, uint64_t{1} << 40).Domain(), PositionOrder::kMaxDomain);
}

} // namespace
} // namespace lumora
