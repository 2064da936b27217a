// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/SHA.h"

#include "platform/ByteOrder.h"

#include <cstring>
#include <stdexcept>

namespace lumora {

namespace {

constexpr uint32_t kInitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t Rotr(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

// One round; the caller rotates the roles of the eight working variables from call to
// call instead of moving their values.
inline void Round(uint32_t a, uint32_t b, uint32_t c, uint32_t& d, uint32_t e, uint32_t f,
                  uint32_t g, uint32_t& h, uint32_t constantPlusWord) {
    const uint32_t t1 =
        h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + constantPlusWord;
    const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    d += t1;
    h = t1 + t2;
}

} // namespace

void CSHA::Reset() {
    std::memcpy(m_auState, kInitialState, sizeof m_auState);
    m_auBitCount[0] = 0;
    m_auBitCount[1] = 0;
    std::memset(m_acBlock, 0, sizeof m_acBlock);
    m_bDataAdded = false;
}

void CSHA::AddData(const unsigned char* data, int len) {
    if (len < 1)
        throw std::runtime_error("FileCrypt ERROR: in CSHA::AddData(), Data Length should be > 0!");

    const int fill = static_cast<int>((m_auBitCount[0] >> 3) & 63);
    const uint32_t oldLow = m_auBitCount[0];
    m_auBitCount[0] += static_cast<uint32_t>(len) << 3;
    if (m_auBitCount[0] < oldLow)
        ++m_auBitCount[1];
    m_auBitCount[1] += static_cast<uint32_t>(len) >> 29;

    if (fill > 0) {
        const int room = 64 - fill;
        if (len < room) {
            std::memcpy(m_acBlock + fill, data, static_cast<size_t>(len));
            return;
        }
        std::memcpy(m_acBlock + fill, data, static_cast<size_t>(room));
        Compress();
        data += room;
        len -= room;
    }
    while (len >= 64) {
        std::memcpy(m_acBlock, data, 64);
        Compress();
        data += 64;
        len -= 64;
    }
    std::memcpy(m_acBlock, data, static_cast<size_t>(len));
    m_bDataAdded = true;
}

void CSHA::FinalDigest(unsigned char* out) {
    if (!m_bDataAdded)
        throw std::runtime_error(
            "FileCrypt ERROR: in CSHA::FinalDigest(), No data Added before call!");

    const int fill = static_cast<int>((m_auBitCount[0] >> 3) & 63);
    m_acBlock[fill] = 0x80;
    if (fill >= 56) {
        std::memset(m_acBlock + fill + 1, 0, static_cast<size_t>(63 - fill));
        Compress();
        std::memset(m_acBlock, 0, 56);
    } else {
        std::memset(m_acBlock + fill + 1, 0, static_cast<size_t>(55 - fill));
    }
    StoreBigEndian(m_acBlock + 56, m_auBitCount[1]);
    StoreBigEndian(m_acBlock + 60, m_auBitCount[0]);
    Compress();
    for (int i = 0; i < 8; ++i)
        StoreBigEndian(out + 4 * i, m_auState[i]);
    Reset();
}

void CSHA::Compress() {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = LoadBe32(m_acBlock + 4 * i);
    for (int i = 16; i < 64; ++i) {
        const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }

    uint32_t a = m_auState[0], b = m_auState[1], c = m_auState[2], d = m_auState[3];
    uint32_t e = m_auState[4], f = m_auState[5], g = m_auState[6], h = m_auState[7];

    Round(a, b, c, d, e, f, g, h, kRoundConstants[0] + w[0]);
    Round(h, a, b, c, d, e, f, g, kRoundConstants[1] + w[1]);
    Round(g, h, a, b, c, d, e, f, kRoundConstants[2] + w[2]);
    Round(f, g, h, a, b, c, d, e, kRoundConstants[3] + w[3]);
    Round(e, f, g, h, a, b, c, d, kRoundConstants[4] + w[4]);
    Round(d, e, f, g, h, a, b, c, kRoundConstants[5] + w[5]);
    Round(c, d, e, f, g, h, a, b, kRoundConstants[6] + w[6]);
    Round(b, c, d, e, f, g, h, a, kRoundConstants[7] + w[7]);
    Round(a, b, c, d, e, f, g, h, kRoundConstants[8] + w[8]);
    Round(h, a, b, c, d, e, f, g, kRoundConstants[9] + w[9]);
    Round(g, h, a, b, c, d, e, f, kRoundConstants[10] + w[10]);
    Round(f, g, h, a, b, c, d, e, kRoundConstants[11] + w[11]);
    Round(e, f, g, h, a, b, c, d, kRoundConstants[12] + w[12]);
    Round(d, e, f, g, h, a, b, c, kRoundConstants[13] + w[13]);
    Round(c, d, e, f, g, h, a, b, kRoundConstants[14] + w[14]);
    Round(b, c, d, e, f, g, h, a, kRoundConstants[15] + w[15]);
    Round(a, b, c, d, e, f, g, h, kRoundConstants[16] + w[16]);
    Round(h, a, b, c, d, e, f, g, kRoundConstants[17] + w[17]);
    Round(g, h, a, b, c, d, e, f, kRoundConstants[18] + w[18]);
    Round(f, g, h, a, b, c, d, e, kRoundConstants[19] + w[19]);
    Round(e, f, g, h, a, b, c, d, kRoundConstants[20] + w[20]);
    Round(d, e, f, g, h, a, b, c, kRoundConstants[21] + w[21]);
    Round(c, d, e, f, g, h, a, b, kRoundConstants[22] + w[22]);
    Round(b, c, d, e, f, g, h, a, kRoundConstants[23] + w[23]);
    Round(a, b, c, d, e, f, g, h, kRoundConstants[24] + w[24]);
    Round(h, a, b, c, d, e, f, g, kRoundConstants[25] + w[25]);
    Round(g, h, a, b, c, d, e, f, kRoundConstants[26] + w[26]);
    Round(f, g, h, a, b, c, d, e, kRoundConstants[27] + w[27]);
    Round(e, f, g, h, a, b, c, d, kRoundConstants[28] + w[28]);
    Round(d, e, f, g, h, a, b, c, kRoundConstants[29] + w[29]);
    Round(c, d, e, f, g, h, a, b, kRoundConstants[30] + w[30]);
    Round(b, c, d, e, f, g, h, a, kRoundConstants[31] + w[31]);
    Round(a, b, c, d, e, f, g, h, kRoundConstants[32] + w[32]);
    Round(h, a, b, c, d, e, f, g, kRoundConstants[33] + w[33]);
    Round(g, h, a, b, c, d, e, f, kRoundConstants[34] + w[34]);
    Round(f, g, h, a, b, c, d, e, kRoundConstants[35] + w[35]);
    Round(e, f, g, h, a, b, c, d, kRoundConstants[36] + w[36]);
    Round(d, e, f, g, h, a, b, c, kRoundConstants[37] + w[37]);
    Round(c, d, e, f, g, h, a, b, kRoundConstants[38] + w[38]);
    Round(b, c, d, e, f, g, h, a, kRoundConstants[39] + w[39]);
    Round(a, b, c, d, e, f, g, h, kRoundConstants[40] + w[40]);
    Round(h, a, b, c, d, e, f, g, kRoundConstants[41] + w[41]);
    Round(g, h, a, b, c, d, e, f, kRoundConstants[42] + w[42]);
    Round(f, g, h, a, b, c, d, e, kRoundConstants[43] + w[43]);
    Round(e, f, g, h, a, b, c, d, kRoundConstants[44] + w[44]);
    Round(d, e, f, g, h, a, b, c, kRoundConstants[45] + w[45]);
    Round(c, d, e, f, g, h, a, b, kRoundConstants[46] + w[46]);
    Round(b, c, d, e, f, g, h, a, kRoundConstants[47] + w[47]);
    Round(a, b, c, d, e, f, g, h, kRoundConstants[48] + w[48]);
    Round(h, a, b, c, d, e, f, g, kRoundConstants[49] + w[49]);
    Round(g, h, a, b, c, d, e, f, kRoundConstants[50] + w[50]);
    Round(f, g, h, a, b, c, d, e, kRoundConstants[51] + w[51]);
    Round(e, f, g, h, a, b, c, d, kRoundConstants[52] + w[52]);
    Round(d, e, f, g, h, a, b, c, kRoundConstants[53] + w[53]);
    Round(c, d, e, f, g, h, a, b, kRoundConstants[54] + w[54]);
    Round(b, c, d, e, f, g, h, a, kRoundConstants[55] + w[55]);
    Round(a, b, c, d, e, f, g, h, kRoundConstants[56] + w[56]);
    Round(h, a, b, c, d, e, f, g, kRoundConstants[57] + w[57]);
    Round(g, h, a, b, c, d, e, f, kRoundConstants[58] + w[58]);
    Round(f, g, h, a, b, c, d, e, kRoundConstants[59] + w[59]);
    Round(e, f, g, h, a, b, c, d, kRoundConstants[60] + w[60]);
    Round(d, e, f, g, h, a, b, c, kRoundConstants[61] + w[61]);
    Round(c, d, e, f, g, h, a, b, kRoundConstants[62] + w[62]);
    Round(b, c, d, e, f, g, h, a, kRoundConstants[63] + w[63]);
    m_auState[0] += a;
    m_auState[1] += b;
    m_auState[2] += c;
    m_auState[3] += d;
    m_auState[4] += e;
    m_auState[5] += f;
    m_auState[6] += g;
    m_auState[7] += h;
}

} // namespace lumora
