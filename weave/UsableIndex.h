// SPDX-License-Identifier: GPL-2.0-or-later
// The usable elements of a cover, numbered 0, 1, ... in element order: which element the
// k-th usable one is. Elements come in groups (a pixel's colour samples) that are usable or
// not together. When every group is usable the numbering is the identity and nothing is
// kept; otherwise one bit per group and the place of every 64th usable group (about 1.1
// bits per group in all), and a look-up scans at most a few words from that place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace lumora::weave {

class UsableIndex {
public:
    // Every element usable.
    explicit UsableIndex(uint64_t elements = 0);
    // groups groups of groupSize elements (element g * groupSize + i is member i of group g),
    // usable where usable(g) says so. Throws std::bad_alloc.
    UsableIndex(uint64_t groups, uint32_t groupSize, const std::function<bool(uint64_t)>& usable);

    uint64_t Count() const { return m_count; }
    // Whether usable index and element are the same number throughout.
    bool AllUsable() const { return m_bits.empty(); }
    // The element of usable index `usable` (< Count()).
    uint64_t Element(uint64_t usable) const;
    // Replaces each of count usable indices (each < Count()) with its element.
    void Elements(uint32_t* values, size_t count) const;
    // The elements of the usable indices first, first + 1, ... first + count - 1 (each
    // < Count()) into values: one look-up, then a walk along the groups.
    void ElementsFrom(uint64_t first, size_t count, uint32_t* values) const;

private:
    uint64_t Group(uint64_t usableGroup) const;

    uint64_t m_count = 0;
    uint32_t m_groupSize = 1;
    std::vector<uint64_t> m_bits;   // empty when every group is usable
    std::vector<uint64_t> m_sample; // group of usable group 64 * i
};

} // namespace lumora::weave
