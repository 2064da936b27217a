// SPDX-License-Identifier: GPL-2.0-or-later
// The fixed shape of the syndrome-trellis code: how a cover sequence of n elements and a
// message of k bits are cut into segments, how a segment's columns are grouped under its
// message bits, and the columns of the parity-check submatrix. Writer and reader must agree
// on every rule here bit for bit, so each one is pure integer arithmetic.
//
// Segments. A sequence of n elements is cut into S = ceil(n / 65536) segments (none when
// n = 0). Segment s (0 <= s < S) holds the elements [e(s), e(s+1)) with
// e(s) = floor(s * n / S), and the message bits [b(s), b(s+1)) with
// b(s) = floor(k * e(s) / n). Every segment holds at most 65536 elements and, as k <= n,
// never more bits than elements. Products are taken in 128-bit arithmetic.
//
// Blocks. Inside a segment of L elements carrying c > 0 bits, message bit i (0 <= i < c)
// owns the columns [floor(i * L / c), floor((i + 1) * L / c)): a block of width
// floor(L / c) or ceil(L / c), so that every element is used.
//
// Columns. The parity-check matrix of a segment has c rows. The j-th column of block i
// (j counted from 0 inside the block) is the 10-bit word C(w, j) of that block's width w,
// placed on rows i..i+9: bit r of the word is the entry of row i + r; rows at or past c are
// dropped. The words C(w, 0), C(w, 1), ... are drawn from SplitMix64 started from the
// 64-bit state S(w), one output z per draw:
//     state += 0x9E3779B97F4A7C15
//     z = state
//     z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9   (mod 2^64)
//     z = (z ^ (z >> 27)) * 0x94D049BB133111EB   (mod 2^64)
//     z = z ^ (z >> 31)
// Each draw offers the word (z & 0x3FF) | 0x201. While fewer than 256 columns have been
// taken, a word already taken is passed over: no width up to 256 has a column twice.
// Bits 0 and 9 are always set: every column touches the first and the last row of its
// window. S(w) is w, except for 2 <= w <= 64, where it is kStartStates[w] of
// TrellisLayout.cpp, found by search among the 256 states w + 65536 * t (0 <= t < 256):
// the eight whose codes made the fewest changes on a random cover of about 262,000
// elements with uniform costs at rate 1 / w, then the best of those on one of about
// 2.1 million. Repeated columns and unlucky draws cost up to 9 % more changes.
//
// Syndrome. The message bits of a segment are H * y over GF(2), y the segment's parities.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumora::weave {

// Rows of the submatrix (the constraint height); the trellis has 2^10 states.
inline constexpr unsigned kTrellisHeight = 10;
inline constexpr unsigned kTrellisStates = 1u << kTrellisHeight;
inline constexpr size_t kMaxSegmentLength = size_t{1} << 16;

struct TrellisSegment {
    size_t begin = 0;    // first element
    size_t length = 0;   // elements
    size_t bitBegin = 0; // first message bit
    size_t bitCount = 0; // message bits
};

// Number of segments of a sequence of `elements`.
size_t SegmentCount(size_t elements);

// Segment `index` (< SegmentCount(elements)) of a sequence carrying `bits` <= `elements`.
TrellisSegment SegmentAt(size_t elements, size_t bits, size_t index);

// First column of message bit `bit` in a segment of `length` elements carrying `bits` > 0;
// bit == bits gives `length`.
size_t BlockStart(size_t length, size_t bits, size_t bit);

// The columns C(width, 0..width-1) of the submatrix of width `width`: bit r of a column is
// the entry of the block's row r.
std::vector<uint16_t> SubmatrixColumns(size_t width);

} // namespace lumora::weave
