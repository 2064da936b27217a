// SPDX-License-Identifier: GPL-2.0-or-later
// Division of 32-bit numbers by a divisor fixed ahead, as one multiplication: exact for every
// 32-bit dividend (Lemire, Kaser and Kurz, "Faster Remainder by Direct Computation", 2019).
// The woven covers divide tens of millions of element indices by a picture's width.
#pragma once

#include <cstdint>

namespace lumora::weave {

class Divider {
public:
    // divisor >= 1.
    explicit Divider(uint32_t divisor)
        : m_divisor(divisor), m_magic(divisor > 1 ? UINT64_MAX / divisor + 1 : 0) {}

    uint32_t Divisor() const { return m_divisor; }
    uint32_t Quotient(uint32_t n) const {
        if (m_magic == 0)
            return n;
        return static_cast<uint32_t>((static_cast<unsigned __int128>(m_magic) * n) >> 64);
    }

private:
    uint32_t m_divisor;
    uint64_t m_magic;
};

} // namespace lumora::weave
