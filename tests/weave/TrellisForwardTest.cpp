// SPDX-License-Identifier: GPL-2.0-or-later
// Every forward pass against the portable one run a column at a time, column shape by
// column shape: the passes take columns in pairs, a block's first columns together and
// some shapes one at a time, and each of those ways must give the same costs and path bits.
#include "weave/TrellisForward.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace lumora::weave {
namespace {

struct ColumnsCase {
    const char* name;
    std::vector<uint16_t> columns;
    bool blockStart; // the run starts a block (the last row goes out first)
};
void PrintTo(const ColumnsCase& c, std::ostream* out) {
    *out << c.name;
}

// Partner offsets are column >> 3 (portable), column >> 4 (AVX2) or column >> 5 (AVX-512);
// bit 9 is the block's last row.
const ColumnsCase kCases[] = {
    {"independent pair", {0x2A5, 0x13C}, false},
    {"pair then single", {0x2A5, 0x13C, 0x3F1}, false},
    {"first partner in the same vector", {0x00F, 0x2A0, 0x1B3, 0x0C4}, false},
    {"second partner in the same vector", {0x3F1, 0x00B}, false},
    {"same partner vector twice", {0x2A1, 0x2A7, 0x155, 0x15A}, false},
    {"a pair with AVX2, a partner in the same vector with AVX-512", {0x01F, 0x2A0}, false},
    {"a pair for the portable pass only", {0x00B, 0x2A3, 0x00C}, false},
    {"rows past a segment's end cut", {0x005, 0x003, 0x001}, false},
    {"block start: one column", {0x25A}, true},
    {"block start: first column misses the last row", {0x1F3, 0x2A5, 0x0D9}, true},
    {"block start: second partner above", {0x3A1, 0x2C5, 0x1E8}, true},
    {"block start: second partner below", {0x3A1, 0x0C5, 0x2F0, 0x10A}, true},
    {"block start: second partner vector the first's", {0x3A1, 0x3AE}, true},
    {"block start: second partner in the same vector", {0x3A1, 0x00E}, true},
    {"block start: a pair with AVX2 only", {0x3A1, 0x01C, 0x2B3}, true},
};

using Costs = std::vector<int16_t>;

struct PassRun {
    Costs costs;
    std::vector<uint32_t> path;
};

PassRun RunPass(const ForwardPass& pass, const ColumnsCase& c, const Costs& start,
                const std::vector<uint8_t>& parities, const Costs& costs, bool bit) {
    struct alignas(64) States {
        int16_t a[kTrellisStates];
        int16_t b[kTrellisStates];
    };
    auto states = std::make_unique<States>();
    std::copy(start.begin(), start.end(), states->a);
    PassRun run{{}, std::vector<uint32_t>(c.columns.size() * kPathWordsPerColumn)};
    const ForwardColumns columns{c.columns.data(), parities.data(), costs.data(), c.columns.size(),
                                 run.path.data()};
    const int16_t* end = c.blockStart ? pass.blockStart(states->a, states->b, bit, columns)
                                      : pass.columns(states->a, states->b, columns);
    run.costs.assign(end, end + kTrellisStates);
    return run;
}

// The portable pass run one column at a time, and whether each state can be reached
// after each column.
struct ColumnByColumn {
    PassRun run;
    std::vector<std::vector<bool>> reachable;
};

ColumnByColumn RunColumnByColumn(const ColumnsCase& c, Costs states,
                                 const std::vector<uint8_t>& parities, const Costs& costs,
                                 bool bit) {
    ColumnByColumn result;
    for (size_t j = 0; j < c.columns.size(); ++j) {
        const ColumnsCase one{c.name, {c.columns[j]}, c.blockStart && j == 0};
        const std::vector<uint8_t> parity{parities[j]};
        const Costs cost{costs[j]};
        PassRun run = RunPass(PortableForwardPass(), one, states, parity, cost, bit);
        states = run.costs;
        result.run.path.insert(result.run.path.end(), run.path.begin(), run.path.end());
        result.reachable.emplace_back();
        for (const int16_t state : states)
            result.reachable.back().push_back(state != kUnreachableCost);
    }
    result.run.costs = states;
    return result;
}

bool PathBitOf(const PassRun& run, size_t column, unsigned state) {
    return PathBit(run.path.data() + column * kPathWordsPerColumn, state);
}

class TrellisForwardTest : public testing::TestWithParam<ColumnsCase> {};

TEST_P(TrellisForwardTest, EveryPassGivesTheCostsAndPathBitsOfOneColumnAtATime) {
    const ColumnsCase& c = GetParam();
    const struct {
        const char* name;
        ForwardPass pass;
    } kPasses[] = {{"portable", PortableForwardPass()},
                   {"AVX2", Avx2ForwardPass()},
                   {"AVX-512", Avx512ForwardPass()}};
    std::mt19937 random(11);
    constexpr int kMixedRounds = 8;
    constexpr int kLoneLeastRounds = 64;
    for (int round = 0; round < kMixedRounds + kLoneLeastRounds; ++round) {
        // Costs with ties, zeros, unreachable states and sums that saturate (odd rounds);
        // parities of both kinds. Then rounds in which one state, in a different place each
        // time, holds the least cost alone, which a block start must find to lower by.
        const int16_t high = round % 2 != 0 ? kUnreachableCost - 4 : 0;
        Costs start(kTrellisStates);
        for (int16_t& cost : start)
            cost = random() % 7 == 0 ? kUnreachableCost
                                     : static_cast<int16_t>(random() % 5 + (random() & 1) * high);
        if (round >= kMixedRounds) {
            for (int16_t& cost : start)
                cost = static_cast<int16_t>(100 + random() % 5);
            const auto lone = static_cast<size_t>(round - kMixedRounds) * 16 + random() % 16;
            start[lone] = static_cast<int16_t>(random() % 90);
        }
        std::vector<uint8_t> parities(c.columns.size());
        Costs costs(c.columns.size());
        for (size_t j = 0; j < c.columns.size(); ++j) {
            parities[j] = static_cast<uint8_t>(random() & 1);
            costs[j] = random() % 5 == 0 ? kWetCost : static_cast<int16_t>(random() % 3);
        }
        const bool bit = (round & 2) != 0;
        const auto [expected, reachable] = RunColumnByColumn(c, start, parities, costs, bit);
        for (const auto& p : kPasses) {
            if (p.pass.columns == nullptr)
                continue; // the processor lacks it
            const PassRun found = RunPass(p.pass, c, start, parities, costs, bit);
            ASSERT_EQ(found.costs, expected.costs) << p.name << ", round " << round;
            // A walk back only ever reads the path bits of reachable states.
            for (size_t j = 0; j < c.columns.size(); ++j) {
                for (unsigned s = 0; s < kTrellisStates; ++s) {
                    if (!reachable[j][s])
                        continue;
                    ASSERT_EQ(PathBitOf(found, j, s), PathBitOf(expected, j, s))
                        << p.name << ", round " << round << ", column " << j << ", state " << s;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, TrellisForwardTest, testing::ValuesIn(kCases));

} // namespace
} // namespace lumora::weave
