// SPDX-License-Identifier: GPL-2.0-or-later
// Constant tables of the Rijndael cipher, computed by the compiler from GF(2^8)
// arithmetic: the S-box and its inverse, and the round tables that fold SubBytes and
// MixColumns (Te0..Te3) or their inverses (Td0..Td3) into one look-up per state byte.
// Table words hold a column big-endian: the byte of row 0 in the top eight bits.
#pragma once

#include <array>
#include <cstdint>

namespace lumora::rijndael {

using ByteTable = std::array<uint8_t, 256>;
using WordTable = std::array<uint32_t, 256>;

constexpr uint8_t Xtime(uint8_t x) {
    return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) != 0 ? 0x1B : 0x00));
}

// Product in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr uint8_t GfMul(uint8_t a, uint8_t b) {
    uint8_t product = 0;
    while (b != 0) {
        if ((b & 1) != 0)
            product ^= a;
        a = Xtime(a);
        b >>= 1;
    }
    return product;
}

constexpr uint8_t Rotl8(uint8_t x, int shift) {
    return static_cast<uint8_t>((x << shift) | (x >> (8 - shift)));
}

constexpr uint32_t Rotr32(uint32_t x, int shift) {
    return shift == 0 ? x : (x >> shift) | (x << (32 - shift));
}

// Walks the multiplicative group with generator 3: p runs over 3^i and q over 3^-i, so q
// is the inverse of p; the S-box is the affine transform of that inverse.
constexpr ByteTable MakeSbox() {
    ByteTable box{};
    uint8_t p = 1;
    uint8_t q = 1;
    do {
        p = static_cast<uint8_t>(p ^ Xtime(p));
        q = static_cast<uint8_t>(q ^ (q << 1));
        q = static_cast<uint8_t>(q ^ (q << 2));
        q = static_cast<uint8_t>(q ^ (q << 4));
        if ((q & 0x80) != 0)
            q ^= 0x09;
        box[p] =
            static_cast<uint8_t>(q ^ Rotl8(q, 1) ^ Rotl8(q, 2) ^ Rotl8(q, 3) ^ Rotl8(q, 4) ^ 0x63);
    } while (p != 1);
    box[0] = 0x63;
    return box;
}

inline constexpr ByteTable kSbox = MakeSbox();

constexpr ByteTable MakeInvSbox() {
    ByteTable inverse{};
    for (int i = 0; i < 256; ++i)
        inverse[kSbox[i]] = static_cast<uint8_t>(i);
    return inverse;
}

inline constexpr ByteTable kInvSbox = MakeInvSbox();

constexpr uint32_t Column(uint8_t r0, uint8_t r1, uint8_t r2, uint8_t r3) {
    return (uint32_t{r0} << 24) | (uint32_t{r1} << 16) | (uint32_t{r2} << 8) | uint32_t{r3};
}

// Te0[x] is the MixColumns image of the column (S[x], 0, 0, 0); Te1..Te3 are its byte
// rotations for the bytes of rows 1 to 3.
constexpr WordTable MakeEncTable(int row) {
    WordTable table{};
    for (int i = 0; i < 256; ++i) {
        const uint8_t s = kSbox[i];
        table[i] = Rotr32(Column(GfMul(s, 2), s, s, GfMul(s, 3)), 8 * row);
    }
    return table;
}

// Td0[x] is the InvMixColumns image of the column (InvS[x], 0, 0, 0); Td1..Td3 likewise.
constexpr WordTable MakeDecTable(int row) {
    WordTable table{};
    for (int i = 0; i < 256; ++i) {
        const uint8_t s = kInvSbox[i];
        table[i] = Rotr32(Column(GfMul(s, 14), GfMul(s, 9), GfMul(s, 13), GfMul(s, 11)), 8 * row);
    }
    return table;
}

inline constexpr WordTable kTe0 = MakeEncTable(0);
inline constexpr WordTable kTe1 = MakeEncTable(1);
inline constexpr WordTable kTe2 = MakeEncTable(2);
inline constexpr WordTable kTe3 = MakeEncTable(3);
inline constexpr WordTable kTd0 = MakeDecTable(0);
inline constexpr WordTable kTd1 = MakeDecTable(1);
inline constexpr WordTable kTd2 = MakeDecTable(2);
inline constexpr WordTable kTd3 = MakeDecTable(3);

// InvMixColumns of one column word. Td[S[b]] is InvMixColumns of (b, 0, 0, 0), so the Td
// tables serve the key schedule without tables of their own.
constexpr uint32_t InvMixColumn(uint32_t w) {
    return kTd0[kSbox[w >> 24]] ^ kTd1[kSbox[(w >> 16) & 0xFF]] ^ kTd2[kSbox[(w >> 8) & 0xFF]] ^
           kTd3[kSbox[w & 0xFF]];
}

} // namespace lumora::rijndael
