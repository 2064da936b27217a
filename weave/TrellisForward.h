// SPDX-License-Identifier: GPL-2.0-or-later
// The forward (Viterbi) pass of the trellis coder over the columns of one block, in a
// portable build and in builds for processors with AVX2 and with AVX-512. State costs and
// element costs are 16-bit integers (TrellisCosts.h) added with saturation at
// kUnreachableCost; all passes perform the same additions and comparisons, so they give the
// same costs and path bits, stored alike: state s of a column at bit s & 31 of its word
// s >> 5.
#pragma once

#include "weave/TrellisCosts.h"
#include "weave/TrellisLayout.h"

#include <cstddef>
#include <cstdint>

namespace lumora::weave {

// Path bits kept per column: one per state.
inline constexpr size_t kPathWordsPerColumn = kTrellisStates / 32;

// A run of columns of one block.
struct ForwardColumns {
    const uint16_t* columns = nullptr; // column words, rows past the segment's end cleared
    const uint8_t* parities = nullptr; // cover parity of each column's element, 0 or 1
    const int16_t* costs = nullptr;    // cost of flipping it, 0 to kWetCost
    size_t count = 0;
    uint32_t* path = nullptr; // count * kPathWordsPerColumn words, written
};

// Moves the state costs in `from` (kTrellisStates of them, 64-byte aligned) through the
// columns, using `spare` (the same size) as the other buffer of a ping-pong; returns the
// buffer that holds the costs after the last column. For each column with word c, the
// new cost of state s is min(keep, flip) with keep = old[s] + (cost if the parity is 1,
// else 0) and flip = old[s ^ c] + (cost if the parity is 0, else 0), each sum saturating at
// kUnreachableCost; its path bit is flip < keep (the element's new parity is then 1).
using ColumnsPass = int16_t* (*)(int16_t* from, int16_t* spare, const ForwardColumns& columns);

// Ends a block and runs the next: drops the finished row (the states s whose lowest bit is
// `bit` survive as s >> 1, less the least cost of all states in `from` so that the sums
// stay small, an unreachable state staying unreachable; the upper half of the states, a
// row not yet touched, becomes unreachable), then runs `block`'s columns (at
// least one) as ColumnsPass would. Returns the buffer that holds the costs. Path bits of
// states that cannot be reached may differ from ColumnsPass's; a walk back from a
// reachable state never reads them.
using BlockStartPass = int16_t* (*)(int16_t* from, int16_t* spare, bool bit,
                                    const ForwardColumns& block);

// The columns after the first.
inline ForwardColumns Rest(const ForwardColumns& columns) {
    ForwardColumns rest = columns;
    rest.columns += 1;
    rest.parities += 1;
    rest.costs += 1;
    rest.count -= 1;
    rest.path += kPathWordsPerColumn;
    return rest;
}

// The path bits of a block's first column when it touches the block's last row: after the
// row is dropped a lower state can only keep (0) and an upper one only flip (1).
void FillFirstColumnPath(uint32_t* path);

// The first half of BlockStartPass: drops the finished row from `from` into `to`.
void ShiftOutRow(const int16_t* from, int16_t* to, bool bit);

struct ForwardPass {
    ColumnsPass columns = nullptr;
    BlockStartPass blockStart = nullptr;
};

ForwardPass PortableForwardPass();
// Empty (nullptr passes) when the processor lacks AVX2.
ForwardPass Avx2ForwardPass();
// Empty (nullptr passes) when the processor lacks AVX-512 (foundation and 16-bit lanes).
ForwardPass Avx512ForwardPass();

// Path bit of `state` among a column's kPathWordsPerColumn words.
inline bool PathBit(const uint32_t* columnPath, unsigned state) {
    return (columnPath[state >> 5] >> (state & 31)) & 1;
}

} // namespace lumora::weave
