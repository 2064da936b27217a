// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/TrellisPairs.h"

#include <utility>

namespace lumora::weave {
namespace {

// The index into a pass table of `count` columns from i: their parities, then their variants.
unsigned TableIndex(const ForwardColumns& columns, size_t i, size_t count,
                    const PairedPasses& passes) {
    unsigned index = 0;
    for (size_t j = 0; j < count; ++j) {
        index |= columns.parities[i + j] != 0 ? 1u << j : 0u;
        index |= (columns.columns[i + j] & passes.variantBit) != 0 ? 1u << (count + j) : 0u;
    }
    return index;
}

} // namespace

int16_t* RunInPairs(int16_t* from, int16_t* spare, const ForwardColumns& columns,
                    const PairedPasses& passes) {
    size_t i = 0;
    while (i < columns.count) {
        const ColumnPair pair =
            i + 1 < columns.count
                ? PairOf(columns.columns[i], columns.columns[i + 1], passes.laneBits)
                : ColumnPair{};
        if (pair.independent) {
            passes.pair[TableIndex(columns, i, 2, passes)](from, spare, pair, columns, i);
            i += 2;
        } else {
            passes.single[TableIndex(columns, i, 1, passes)](
                from, spare, columns.columns[i], columns.costs[i],
                columns.path + i * kPathWordsPerColumn);
            i += 1;
        }
        std::swap(from, spare);
    }
    return from;
}

int16_t* StartBlockInPairs(int16_t* from, int16_t* spare, bool bit, const ForwardColumns& block,
                           const PairedPasses& passes) {
    const unsigned column = block.columns[0];
    if ((column & kTrellisStates / 2) == 0) {
        ShiftOutRow(from, spare, bit);
        return RunInPairs(spare, from, block, passes);
    }
    const ColumnPair pair =
        block.count >= 2 ? PairOf(column, block.columns[1], passes.laneBits) : ColumnPair{};
    if (!pair.independent || passes.firstPair[0] == nullptr) {
        passes.firstSingle[TableIndex(block, 0, 1, passes)](from, spare, bit, block);
        return RunInPairs(spare, from, Rest(block), passes);
    }
    passes.firstPair[TableIndex(block, 0, 2, passes)](from, spare, bit, pair, block);
    return RunInPairs(spare, from, Rest(Rest(block)), passes);
}

} // namespace lumora::weave
