// SPDX-License-Identifier: GPL-2.0-or-later
// The numbering of usable elements against a plain list of them, for patterns that put the
// usable groups on and across word boundaries, sparse and dense.
#include "weave/UsableIndex.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace lumora::weave {
namespace {

struct IndexCase {
    const char* name;
    uint64_t groups;
    uint32_t groupSize;
    bool (*usable)(uint64_t group);
};
void PrintTo(const IndexCase& c, std::ostream* os) {
    *os << c.name;
}

class Usable : public ::testing::TestWithParam<IndexCase> {};

TEST_P(Usable, NumbersTheUsableElementsInOrder) {
    const IndexCase& c = GetParam();
    std::vector<uint32_t> expected;
    for (uint64_t g = 0; g < c.groups; ++g)
        for (uint32_t i = 0; c.usable(g) && i < c.groupSize; ++i)
            expected.push_back(static_cast<uint32_t>(g * c.groupSize + i));
    const UsableIndex index(c.groups, c.groupSize, c.usable);
    ASSERT_EQ(index.Count(), expected.size());
    std::vector<uint32_t> batch(expected.size());
    for (uint32_t k = 0; k < batch.size(); ++k) {
        batch[k] = k;
        ASSERT_EQ(index.Element(k), expected[k]) << "usable index " << k;
    }
    index.Elements(batch.data(), batch.size());
    EXPECT_EQ(batch, expected);
    // Runs walked from any start, to the end and short of it.
    for (size_t first = 0; first < expected.size(); first += 1 + expected.size() / 7)
        for (const size_t length : {expected.size() - first, size_t{1}, size_t{130}}) {
            const size_t count = std::min(length, expected.size() - first);
            std::vector<uint32_t> run(count);
            index.ElementsFrom(first, count, run.data());
            EXPECT_TRUE(std::equal(run.begin(), run.end(),
                                   expected.begin() + static_cast<ptrdiff_t>(first)))
                << "from " << first << ", " << count;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, Usable,
    ::testing::Values(IndexCase{"all", 1000, 3, [](uint64_t) { return true; }},
                      IndexCase{"none", 1000, 1, [](uint64_t) { return false; }},
                      IndexCase{"every other", 5000, 1, [](uint64_t g) { return g % 2 == 0; }},
                      IndexCase{"one in 300", 100000, 4, [](uint64_t g) { return g % 300 == 7; }},
                      IndexCase{"all but the last", 4097, 3, [](uint64_t g) { return g != 4096; }},
                      IndexCase{"runs across words", 20000, 1,
                                [](uint64_t g) { return g % 200 > 50; }},
                      IndexCase{"first and last of each word", 8192, 2,
                                [](uint64_t g) { return g % 64 == 0 || g % 64 == 63; }}));

} // namespace
} // namespace lumora::weave
