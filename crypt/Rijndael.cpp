// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/Rijndael.h"

#include "crypt/Rijndael16.h"
#include "crypt/RijndaelHardware.h"
#include "crypt/RijndaelTables.h"

#include <cstring>
#include <stdexcept>
#include <string.h> // explicit_bzero

namespace lumora {

using namespace rijndael;

namespace {

inline uint32_t SubWord(uint32_t w) {
    return Column(kSbox[B0(w)], kSbox[B1(w)], kSbox[B2(w)], kSbox[B3(w)]);
}

int RoundsFor(int keyLength, int blockSize) {
    return (keyLength > blockSize ? keyLength : blockSize) / 4 + 6;
}

// ShiftRows offsets of rows 1 to 3 by number of columns.
struct RowShifts {
    int c1, c2, c3;
};

RowShifts RowShiftsFor(int columns) {
    return columns == 8 ? RowShifts{1, 3, 4} : RowShifts{1, 2, 3};
}

// For each column j, the columns that rows 1 to 3 come from, worked out once per block so
// the rounds do no division.
struct SourceColumns {
    int row1[8], row2[8], row3[8];

    SourceColumns(int nb, int c1, int c2, int c3) {
        for (int j = 0; j < nb; ++j) {
            row1[j] = (j + c1) % nb;
            row2[j] = (j + c2) % nb;
            row3[j] = (j + c3) % nb;
        }
    }
};

// The tables of one direction: the rounds' (MixColumns folded in) and the last round's.
struct RoundTables {
    const WordTable* t0;
    const WordTable* t1;
    const WordTable* t2;
    const WordTable* t3;
    const ByteTable* last;
};

// A block of any size through the rounds of one direction, its row sources in from.
void CipherBlockAnySize(const RoundTables& t, const uint32_t (*keys)[8], int rounds,
                        const SourceColumns& from, int nb, const unsigned char* in,
                        unsigned char* out) {
    uint32_t state[8];
    uint32_t next[8];
    for (int j = 0; j < nb; ++j)
        state[j] = LoadBe32(in + 4 * j) ^ keys[0][j];
    for (int r = 1; r < rounds; ++r) {
        for (int j = 0; j < nb; ++j)
            next[j] = (*t.t0)[B0(state[j])] ^ (*t.t1)[B1(state[from.row1[j]])] ^
                      (*t.t2)[B2(state[from.row2[j]])] ^ (*t.t3)[B3(state[from.row3[j]])] ^
                      keys[r][j];
        std::memcpy(state, next, sizeof(uint32_t) * static_cast<size_t>(nb));
    }
    const ByteTable& box = *t.last;
    for (int j = 0; j < nb; ++j)
        StoreBigEndian(out + 4 * j,
                       Column(box[B0(state[j])], box[B1(state[from.row1[j]])],
                              box[B2(state[from.row2[j]])], box[B3(state[from.row3[j]])]) ^
                           keys[rounds][j]);
}

// ECB over 16-byte blocks: the AES instructions where they are active, else the tables,
// two blocks side by side.
template <bool Decrypting>
void CipherEcb16(const RoundKeys* keys, int rounds, const unsigned char* in, unsigned char* out,
                 size_t n) {
    if (HardwareAesActive()) {
        if constexpr (Decrypting)
            HardwareDecryptBlocks(keys, rounds, in, out, n / 16);
        else
            HardwareEncryptBlocks(keys, rounds, in, out, n / 16);
        return;
    }
    size_t i = 0;
    for (; i + 32 <= n; i += 32)
        CipherBlocks16<Decrypting, 2>(keys, rounds, in + i, out + i);
    if (i < n)
        CipherBlocks16<Decrypting, 1>(keys, rounds, in + i, out + i);
}

} // namespace

CRijndael::~CRijndael() {
    explicit_bzero(m_acKey, sizeof m_acKey);
    explicit_bzero(m_aiEncKey, sizeof m_aiEncKey);
    explicit_bzero(m_aiDecKey, sizeof m_aiDecKey);
}

void CRijndael::Initialize(const unsigned char* keyData, int keyDataLength,
                           const unsigned char* chain, int keyLength, int blockSize, int mode,
                           int padding) {
    if (keyData == nullptr)
        throw std::runtime_error("No Key DataSpecified!");
    if (keyDataLength < 1)
        throw std::runtime_error("Key Data Length should be > 0!");
    if (keyLength != 16 && keyLength != 24 && keyLength != 32)
        throw std::runtime_error("Illegal Key Length!");
    if (blockSize != 16 && blockSize != 24 && blockSize != 32)
        throw std::runtime_error(kErrIllegalBlockSize);
    if (mode < MODE_ECB || mode > MODE_CFB)
        throw std::runtime_error("Illegal Operation Mode!");
    if (padding < PAD_ZEROS || padding > PAD_COUNT)
        throw std::runtime_error("Illegal Padding Mode!");

    m_iMode = mode;
    m_iPadding = padding;
    m_iBlockSize = blockSize;
    if (chain != nullptr)
        std::memcpy(m_acChain0, chain, static_cast<size_t>(blockSize));
    else
        std::memset(m_acChain0, 0, sizeof m_acChain0);
    std::memcpy(m_acChain, m_acChain0, sizeof m_acChain);
    m_iKeyLength = keyLength;
    for (int j = 0; j < keyLength; ++j)
        m_acKey[j] = keyData[j % keyDataLength];
    m_iRounds = RoundsFor(keyLength, blockSize);
    ExpandKey();
    m_bInitialized = true;
}

// The Rijndael key schedule, run with the block's column count instead of AES's fixed 4.
void CRijndael::ExpandKey() {
    const int nk = m_iKeyLength / 4;
    const int nb = m_iBlockSize / 4;
    const int total = nb * (m_iRounds + 1);
    uint32_t words[(kMaxRounds + 1) * 8] = {};

    for (int i = 0; i < nk; ++i)
        words[i] = LoadBe32(m_acKey + 4 * i);
    uint8_t rcon = 0x01;
    for (int i = nk; i < total; ++i) {
        uint32_t temp = words[i - 1];
        if (i % nk == 0) {
            temp = SubWord((temp << 8) | (temp >> 24)) ^ (uint32_t{rcon} << 24);
            rcon = Xtime(rcon);
        } else if (nk > 6 && i % nk == 4) {
            temp = SubWord(temp);
        }
        words[i] = words[i - nk] ^ temp;
    }

    std::memset(m_aiEncKey, 0, sizeof m_aiEncKey);
    std::memset(m_aiDecKey, 0, sizeof m_aiDecKey);
    for (int r = 0; r <= m_iRounds; ++r)
        for (int j = 0; j < nb; ++j)
            m_aiEncKey[r][j] = words[r * nb + j];
    // Equivalent inverse cipher: the round keys in reverse order, the inner ones passed
    // through InvMixColumns.
    for (int r = 0; r <= m_iRounds; ++r) {
        const bool inner = r > 0 && r < m_iRounds;
        for (int j = 0; j < nb; ++j) {
            const uint32_t w = m_aiEncKey[m_iRounds - r][j];
            m_aiDecKey[r][j] = inner ? InvMixColumn(w) : w;
        }
    }
    explicit_bzero(words, sizeof words);
}

void CRijndael::EncryptBlock(const unsigned char* in, unsigned char* out) const {
    if (m_iBlockSize == 16 && HardwareAesActive())
        HardwareEncryptBlocks(m_aiEncKey, m_iRounds, in, out, 1);
    else if (m_iBlockSize == 16)
        CipherBlocks16<false, 1>(m_aiEncKey, m_iRounds, in, out);
    else
        EncryptBlockAnySize(in, out);
}

void CRijndael::DecryptBlock(const unsigned char* in, unsigned char* out) const {
    if (m_iBlockSize == 16 && HardwareAesActive())
        HardwareDecryptBlocks(m_aiDecKey, m_iRounds, in, out, 1);
    else if (m_iBlockSize == 16)
        CipherBlocks16<true, 1>(m_aiDecKey, m_iRounds, in, out);
    else
        DecryptBlockAnySize(in, out);
}

// 24- and 32-byte blocks: row k of column j comes from column j + Ck (encryption) or
// j - Ck (decryption), modulo the column count.
void CRijndael::EncryptBlockAnySize(const unsigned char* in, unsigned char* out) const {
    const int nb = m_iBlockSize / 4;
    const RowShifts shift = RowShiftsFor(nb);
    CipherBlockAnySize({&kTe0, &kTe1, &kTe2, &kTe3, &kSbox}, m_aiEncKey, m_iRounds,
                       SourceColumns(nb, shift.c1, shift.c2, shift.c3), nb, in, out);
}

void CRijndael::DecryptBlockAnySize(const unsigned char* in, unsigned char* out) const {
    const int nb = m_iBlockSize / 4;
    const RowShifts shift = RowShiftsFor(nb);
    CipherBlockAnySize({&kTd0, &kTd1, &kTd2, &kTd3, &kInvSbox}, m_aiDecKey, m_iRounds,
                       SourceColumns(nb, nb - shift.c1, nb - shift.c2, nb - shift.c3), nb, in, out);
}

void CRijndael::CipherBlock(const unsigned char* in, unsigned char* out) const {
    RequireInitialized();
    EncryptBlock(in, out);
}

void CRijndael::InvCipherBlock(const unsigned char* in, unsigned char* out) const {
    RequireInitialized();
    DecryptBlock(in, out);
}

void CRijndael::RequireWholeBlocks(size_t n) const {
    RequireInitialized();
    if (n == 0 || n % static_cast<size_t>(m_iBlockSize) != 0)
        throw std::runtime_error(kErrIllegalBlockSize);
}

void CRijndael::Encrypt(const unsigned char* in, unsigned char* out, size_t n) {
    RequireWholeBlocks(n);
    if (m_iMode == MODE_ECB && m_iBlockSize == 16) {
        CipherEcb16<false>(m_aiEncKey, m_iRounds, in, out, n);
        return;
    }
    const size_t bs = static_cast<size_t>(m_iBlockSize);
    for (size_t i = 0; i < n; i += bs) {
        switch (m_iMode) {
        case MODE_CBC:
            XorBlock(m_acChain, in + i);
            EncryptBlock(m_acChain, out + i);
            std::memcpy(m_acChain, out + i, bs);
            break;
        case MODE_CFB: {
            unsigned char stream[kMaxBlockSize];
            EncryptBlock(m_acChain, stream);
            for (size_t k = 0; k < bs; ++k)
                m_acChain[k] = out[i + k] = stream[k] ^ in[i + k];
            break;
        }
        default:
            EncryptBlock(in + i, out + i);
            break;
        }
    }
}

void CRijndael::Decrypt(const unsigned char* in, unsigned char* out, size_t n) {
    RequireWholeBlocks(n);
    if (m_iMode == MODE_ECB && m_iBlockSize == 16) {
        CipherEcb16<true>(m_aiDecKey, m_iRounds, in, out, n);
        return;
    }
    const size_t bs = static_cast<size_t>(m_iBlockSize);
    for (size_t i = 0; i < n; i += bs) {
        switch (m_iMode) {
        case MODE_CBC: {
            unsigned char cipherText[kMaxBlockSize];
            std::memcpy(cipherText, in + i, bs); // in and out may overlap
            DecryptBlock(cipherText, out + i);
            XorBlock(out + i, m_acChain);
            std::memcpy(m_acChain, cipherText, bs);
            break;
        }
        case MODE_CFB: {
            unsigned char stream[kMaxBlockSize];
            EncryptBlock(m_acChain, stream);
            for (size_t k = 0; k < bs; ++k) {
                m_acChain[k] = in[i + k];
                out[i + k] = stream[k] ^ m_acChain[k];
            }
            break;
        }
        default:
            DecryptBlock(in + i, out + i);
            break;
        }
    }
}

void CRijndael::RestoreChain() {
    RequireInitialized();
    std::memcpy(m_acChain, m_acChain0, sizeof m_acChain);
}

} // namespace lumora
