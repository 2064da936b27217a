// SPDX-License-Identifier: GPL-2.0-or-later
// CSHA: incremental SHA-256 (FIPS 180-2). Data is added in pieces of any size; FinalDigest
// writes the 32-byte digest and readies the object for a new message. A message must
// hold at least one byte: empty pieces and a digest of nothing are refused.
#pragma once

#include <cstdint>

namespace lumora {

class CSHA {
public:
    static constexpr int kDigestSize = 32;

    CSHA() { Reset(); }

    void AddData(const unsigned char* data, int len);
    void FinalDigest(unsigned char* out);
    void Reset();

private:
    void Compress();

    uint32_t m_auState[8];
    uint32_t m_auBitCount[2]; // low word, high word
    unsigned char m_acBlock[64];
    bool m_bDataAdded;
};

} // namespace lumora
