// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/TrellisLayout.h"

#include <bitset>
#include <iterator>

namespace lumora::weave {
namespace {

using Wide = unsigned __int128;

// S(w) for widths 2 to 64 (see the header); entries 0 and 1 are not used.
constexpr uint64_t kStartStates[65] = {
    0,        0,        3211266, 8912899,  15073284, 14614533, 13762566, 10027015, 14549000,
    9764873,  11075594, 9502731, 16384012, 262157,   7340046,  3538959,  8781840,  1376273,
    7602194,  262163,   6815764, 14024725, 15794198, 3932183,  9699352,  8454169,  5636122,
    8912923,  4522012,  8847389, 1114142,  4522015,  14680096, 8912929,  720930,   1835043,
    12320804, 7012389,  1048614, 6357031,  15728680, 2555945,  65578,    11206699, 5701676,
    2883629,  14549038, 3145775, 8650800,  7536689,  5570610,  1048627,  6488116,  2818101,
    14155830, 10944567, 4128824, 3735609,  2424890,  3932219,  2359356,  1900605,  7667774,
    10747967, 9502784,
};

uint64_t StartState(size_t width) {
    return width >= 2 && width < std::size(kStartStates) ? kStartStates[width] : width;
}

// floor(a * b / c) without overflow; c > 0.
size_t MulDiv(size_t a, size_t b, size_t c) {
    constexpr size_t kNarrow = size_t{1} << 32;
    if (a < kNarrow && b < kNarrow) // the common case, without a 128-bit division
        return static_cast<size_t>(static_cast<uint64_t>(a) * b / c);
    return static_cast<size_t>(static_cast<Wide>(a) * b / c);
}

} // namespace

size_t SegmentCount(size_t elements) {
    return elements / kMaxSegmentLength + (elements % kMaxSegmentLength != 0 ? 1 : 0);
}

TrellisSegment SegmentAt(size_t elements, size_t bits, size_t index) {
    const size_t count = SegmentCount(elements);
    TrellisSegment segment;
    if (index >= count)
        return segment;
    segment.begin = MulDiv(index, elements, count);
    const size_t end = MulDiv(index + 1, elements, count);
    segment.length = end - segment.begin;
    segment.bitBegin = MulDiv(bits, segment.begin, elements);
    segment.bitCount = MulDiv(bits, end, elements) - segment.bitBegin;
    return segment;
}

size_t BlockStart(size_t length, size_t bits, size_t bit) {
    return MulDiv(bit, length, bits);
}

std::vector<uint16_t> SubmatrixColumns(size_t width) {
    std::vector<uint16_t> columns;
    columns.reserve(width);
    std::bitset<1u << kTrellisHeight> taken;
    uint64_t state = StartState(width);
    while (columns.size() < width) {
        state += 0x9E3779B97F4A7C15u;
        uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        z ^= z >> 31;
        const uint16_t column = static_cast<uint16_t>((z & 0x3FF) | 0x201);
        if (columns.size() < 256 && taken[column])
            continue;
        taken[column] = true;
        columns.push_back(column);
    }
    return columns;
}

} // namespace lumora::weave
