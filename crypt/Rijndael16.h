// SPDX-License-Identifier: GPL-2.0-or-later
// The dedicated path for 16-byte blocks (AES): the four columns of each block are named
// variables and ShiftRows is folded into which column feeds which table. Lanes blocks
// are ciphered side by side, which keeps more table look-ups in flight at once.
#pragma once

#include "crypt/RijndaelTables.h"

#include <cstdint>

namespace lumora::rijndael {

using RoundKeys = uint32_t[8]; // one row of round keys; four words used here

inline uint32_t LoadBigEndian(const unsigned char* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

inline void StoreBigEndian(uint32_t w, unsigned char* p) {
    p[0] = static_cast<unsigned char>(w >> 24);
    p[1] = static_cast<unsigned char>(w >> 16);
    p[2] = static_cast<unsigned char>(w >> 8);
    p[3] = static_cast<unsigned char>(w);
}

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

template <int Lanes>
inline void EncryptBlocks16(const RoundKeys* rk, int rounds, const unsigned char* in,
                            unsigned char* out) {
    uint32_t s0[Lanes], s1[Lanes], s2[Lanes], s3[Lanes];
#pragma GCC unroll 2
    for (int b = 0; b < Lanes; ++b) {
        s0[b] = LoadBigEndian(in + 16 * b) ^ rk[0][0];
        s1[b] = LoadBigEndian(in + 16 * b + 4) ^ rk[0][1];
        s2[b] = LoadBigEndian(in + 16 * b + 8) ^ rk[0][2];
        s3[b] = LoadBigEndian(in + 16 * b + 12) ^ rk[0][3];
    }
    for (int r = 1; r < rounds; ++r) {
        const uint32_t* k = rk[r];
#pragma GCC unroll 2
        for (int b = 0; b < Lanes; ++b) {
            const uint32_t t0 =
                kTe0[B0(s0[b])] ^ kTe1[B1(s1[b])] ^ kTe2[B2(s2[b])] ^ kTe3[B3(s3[b])] ^ k[0];
            const uint32_t t1 =
                kTe0[B0(s1[b])] ^ kTe1[B1(s2[b])] ^ kTe2[B2(s3[b])] ^ kTe3[B3(s0[b])] ^ k[1];
            const uint32_t t2 =
                kTe0[B0(s2[b])] ^ kTe1[B1(s3[b])] ^ kTe2[B2(s0[b])] ^ kTe3[B3(s1[b])] ^ k[2];
            const uint32_t t3 =
                kTe0[B0(s3[b])] ^ kTe1[B1(s0[b])] ^ kTe2[B2(s1[b])] ^ kTe3[B3(s2[b])] ^ k[3];
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
        StoreBigEndian(
            Column(kSbox[B0(s0[b])], kSbox[B1(s1[b])], kSbox[B2(s2[b])], kSbox[B3(s3[b])]) ^ k[0],
            o);
        StoreBigEndian(
            Column(kSbox[B0(s1[b])], kSbox[B1(s2[b])], kSbox[B2(s3[b])], kSbox[B3(s0[b])]) ^ k[1],
            o + 4);
        StoreBigEndian(
            Column(kSbox[B0(s2[b])], kSbox[B1(s3[b])], kSbox[B2(s0[b])], kSbox[B3(s1[b])]) ^ k[2],
            o + 8);
        StoreBigEndian(
            Column(kSbox[B0(s3[b])], kSbox[B1(s0[b])], kSbox[B2(s1[b])], kSbox[B3(s2[b])]) ^ k[3],
            o + 12);
    }
}

// The equivalent inverse cipher: InvShiftRows takes row k of column j from column j - k.
template <int Lanes>
inline void DecryptBlocks16(const RoundKeys* dk, int rounds, const unsigned char* in,
                            unsigned char* out) {
    uint32_t s0[Lanes], s1[Lanes], s2[Lanes], s3[Lanes];
#pragma GCC unroll 2
    for (int b = 0; b < Lanes; ++b) {
        s0[b] = LoadBigEndian(in + 16 * b) ^ dk[0][0];
        s1[b] = LoadBigEndian(in + 16 * b + 4) ^ dk[0][1];
        s2[b] = LoadBigEndian(in + 16 * b + 8) ^ dk[0][2];
        s3[b] = LoadBigEndian(in + 16 * b + 12) ^ dk[0][3];
    }
    for (int r = 1; r < rounds; ++r) {
        const uint32_t* k = dk[r];
#pragma GCC unroll 2
        for (int b = 0; b < Lanes; ++b) {
            const uint32_t t0 =
                kTd0[B0(s0[b])] ^ kTd1[B1(s3[b])] ^ kTd2[B2(s2[b])] ^ kTd3[B3(s1[b])] ^ k[0];
            const uint32_t t1 =
                kTd0[B0(s1[b])] ^ kTd1[B1(s0[b])] ^ kTd2[B2(s3[b])] ^ kTd3[B3(s2[b])] ^ k[1];
            const uint32_t t2 =
                kTd0[B0(s2[b])] ^ kTd1[B1(s1[b])] ^ kTd2[B2(s0[b])] ^ kTd3[B3(s3[b])] ^ k[2];
            const uint32_t t3 =
                kTd0[B0(s3[b])] ^ kTd1[B1(s2[b])] ^ kTd2[B2(s1[b])] ^ kTd3[B3(s0[b])] ^ k[3];
            s0[b] = t0;
            s1[b] = t1;
            s2[b] = t2;
            s3[b] = t3;
        }
    }
    const uint32_t* k = dk[rounds];
#pragma GCC unroll 2
    for (int b = 0; b < Lanes; ++b) {
        unsigned char* o = out + 16 * b;
        StoreBigEndian(Column(kInvSbox[B0(s0[b])], kInvSbox[B1(s3[b])], kInvSbox[B2(s2[b])],
                              kInvSbox[B3(s1[b])]) ^
                           k[0],
                       o);
        StoreBigEndian(Column(kInvSbox[B0(s1[b])], kInvSbox[B1(s0[b])], kInvSbox[B2(s3[b])],
                              kInvSbox[B3(s2[b])]) ^
                           k[1],
                       o + 4);
        StoreBigEndian(Column(kInvSbox[B0(s2[b])], kInvSbox[B1(s1[b])], kInvSbox[B2(s0[b])],
                              kInvSbox[B3(s3[b])]) ^
                           k[2],
                       o + 8);
        StoreBigEndian(Column(kInvSbox[B0(s3[b])], kInvSbox[B1(s2[b])], kInvSbox[B2(s1[b])],
                              kInvSbox[B3(s0[b])]) ^
                           k[3],
                       o + 12);
    }
}

} // namespace lumora::rijndael
