// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/TrellisLayout.h"

namespace lumora::weave {
namespace {

using Wide = unsigned __int128;

// floor(a * b / c) without overflow; c > 0.
size_t MulDiv(size_t a, size_t b, size_t c) {
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

uint16_t SubmatrixColumn(size_t width, size_t index) {
    uint64_t z = width + (static_cast<uint64_t>(index) + 1) * 0x9E3779B97F4A7C15u;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    z ^= z >> 31;
    return static_cast<uint16_t>((z & 0x3FF) | 0x201);
}

std::vector<uint16_t> SubmatrixColumns(size_t width) {
    std::vector<uint16_t> columns(width);
    for (size_t j = 0; j < width; ++j)
        columns[j] = SubmatrixColumn(width, j);
    return columns;
}

} // namespace lumora::weave
