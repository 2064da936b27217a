// SPDX-License-Identifier: GPL-2.0-or-later
// The embedding order of a woven carrier: which of the picture's N elements carries each
// order index, and which way an element moves when both ways cost the same.
//
// A public order (a PositionOrder of [0, N) under the all-zero key) lists the elements; its
// first S entries are the salt region, found without a password. The rest of the order
// follows the position key: order index j >= S is the element public(S + keyed(j - S)),
// with keyed a PositionOrder of [0, N - S) under the position key.
#pragma once

#include "crypt/PositionOrder.h"
#include "crypt/WovenKeys.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace lumora {

class WovenOrder {
public:
    // The salt region alone, for a reader who has no key yet: the elements of order indices
    // below kWovenSaltPositions. elements is at most kWovenMaxElements (see WovenLayout.h);
    // larger counts are cut to it.
    explicit WovenOrder(uint64_t elements);
    // Every region.
    WovenOrder(uint64_t elements, const WovenKeys& keys);

    uint64_t Elements() const { return m_public.Domain(); }
    // Order indices this order can place: kWovenSaltPositions without a key, else Elements().
    uint64_t Placeable() const;

    // The elements of order indices first, first + 1, ... first + count - 1 into out, or
    // false (out unchanged) when any of them is not placeable.
    bool Fill(uint64_t first, size_t count, uint32_t* out) const;
    // The other way round: the order indices of elements first, first + 1, ...
    // first + count - 1 into out, so that Fill of each gives the element back. False (out
    // unchanged) without the position key or when any of them is not below Elements().
    bool IndicesOf(uint64_t first, size_t count, uint32_t* out) const;

private:
    PositionOrder m_public;
    std::optional<PositionOrder> m_keyed;
};

// The tie bits of order indices first, ... first + count - 1, one byte of 0 or 1 each, into
// out: bit j of the ChaCha20 keystream of the tie key, least significant bit of each byte
// first. 1 moves the element up, 0 down, wherever the two ways cost the same. False when
// keys is empty.
bool FillWovenTieBits(const WovenKeys& keys, uint64_t first, size_t count, uint8_t* out);

} // namespace lumora
