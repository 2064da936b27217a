// SPDX-License-Identifier: GPL-2.0-or-later
// The dedicated path for 16-byte blocks (AES): the four columns of each block are named
// variables and ShiftRows is folded into which column feeds which table. Lanes blocks
// are ciphered side by side, which keeps more table look-ups in flight at once.
#pragma once

#include "crypt/RijndaelTables.h"
#include "platform/ByteOrder.h"

#include <cstdint>

namespace lumora::rijndael {

using RoundKeys = uint32_t[8]; // one row of round keys; four words used here

inline uint32_t B0(uint32_t w) {
    return w >> 24;
}
inline uint32_t B1(uint32_t w) {
    return (w >> 16) & 0xFF;
}
inline uint32_t B2(uint32_t w) {
    return (w >> 8) & 0xFF;
}
inline uint32_t B3(uint32_t w) {
    return w & 0xFF;
}

// Word i of the four columns.
template <int I> inline uint32_t Word(uint32_t s0, uint32_t s1, uint32_t s2, uint32_t s3) {
    if constexpr (I == 0)
        return s0;
    else if constexpr (I == 1)
        return s1;
    else if constexpr (I == 2)
        return s2;
    else
        return s3;
}

// Row k of output column j comes from column j + k when encrypting (ShiftRows) and from
// column j - k when decrypting (the equivalent inverse cipher: InvShiftRows); otherwise the
// two directions differ only in their tables.
template <bool Decrypting> struct Direction16 {
    static constexpr int kStep = Decrypting ? 3 : 1; // j - k is j + 3k modulo 4
    static constexpr const WordTable& T0 = Decrypting ? kTd0 : kTe0;
    static constexpr const WordTable& T1 = Decrypting ? kTd1 : kTe1;
    static constexpr const WordTable& T2 = Decrypting ? kTd2 : kTe2;
    static constexpr const WordTable& T3 = Decrypting ? kTd3 : kTe3;
    static constexpr const ByteTable& S = Decrypting ? kInvSbox : kSbox;

    template <int J> static uint32_t Round(uint32_t s0, uint32_t s1, uint32_t s2, uint32_t s3) {
        return T0[B0(Word<J>(s0, s1, s2, s3))] ^ T1[B1(Word<(J + kStep) % 4>(s0, s1, s2, s3))] ^
               T2[B2(Word<(J + 2 * kStep) % 4>(s0, s1, s2, s3))] ^
               T3[B3(Word<(J + 3 * kStep) % 4>(s0, s1, s2, s3))];
    }
    template <int J> static uint32_t Last(uint32_t s0, uint32_t s1, uint32_t s2, uint32_t s3) {
        return Column(S[B0(Word<J>(s0, s1, s2, s3))], S[B1(Word<(J + kStep) % 4>(s0, s1, s2, s3))],
                      S[B2(Word<(J + 2 * kStep) % 4>(s0, s1, s2, s3))],
                      S[B3(Word<(J + 3 * kStep) % 4>(s0, s1, s2, s3))]);
    }
};

// Lanes blocks through every round of one direction, under the round keys of that
// direction.
template <bool Decrypting, int Lanes>
inline void CipherBlocks16(const RoundKeys* rk, int rounds, const unsigned char* in,
                           unsigned char* out) {
    using D = Direction16<Decrypting>;
    uint32_t s0[Lanes], s1[Lanes], s2[Lanes], s3[Lanes];
#pragma GCC unroll 2
    for (int b = 0; b < Lanes; ++b) {
        s0[b] = LoadBe32(in + 16 * b) ^ rk[0][0];
        s1[b] = LoadBe32(in + 16 * b + 4) ^ rk[0][1];
        s2[b] = LoadBe32(in + 16 * b + 8) ^ rk[0][2];
        s3[b] = LoadBe32(in + 16 * b + 12) ^ rk[0][3];
    }
    for (int r = 1; r < rounds; ++r) {
        const uint32_t* k = rk[r];
#pragma GCC unroll 2
        for (int b = 0; b < Lanes; ++b) {
            const uint32_t t0 = D::template Round<0>(s0[b], s1[b], s2[b], s3[b]) ^ k[0];
            const uint32_t t1 = D::template Round<1>(s0[b], s1[b], s2[b], s3[b]) ^ k[1];
            const uint32_t t2 = D::template Round<2>(s0[b], s1[b], s2[b], s3[b]) ^ k[2];
            const uint32_t t3 = D::template Round<3>(s0[b], s1[b], s2[b], s3[b]) ^ k[3];
            s0[b] = t0;
            s1[b] = t1;
            s2[b] = t2;
            s3[b] = t3;
        }
    }
    const uint32_t* k = rk[rounds];
#pragma GCC unroll 2
    for (int b = 0; b < Lanes; ++b) {
        unsigned char* o = out + 16 * b;
        StoreBigEndian(o, D::template Last<0>(s0[b], s1[b], s2[b], s3[b]) ^ k[0]);
        StoreBigEndian(o + 4, D::template Last<1>(s0[b], s1[b], s2[b], s3[b]) ^ k[1]);
        StoreBigEndian(o + 8, D::template Last<2>(s0[b], s1[b], s2[b], s3[b]) ^ k[2]);
        StoreBigEndian(o + 12, D::template Last<3>(s0[b], s1[b], s2[b], s3[b]) ^ k[3]);
    }
}

} // namespace lumora::rijndael
