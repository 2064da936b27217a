// SPDX-License-Identifier: GPL-2.0-or-later
// CRijndael: the Rijndael block cipher with 16-, 24- or 32-byte keys and blocks, in ECB,
// CBC or full-block CFB mode. With 16-byte blocks it is AES (FIPS-197). The object holds
// no heap memory and is not re-entrant: one object serves one caller at a time.
#pragma once

#include "crypt/IMethod.h"
#include "crypt/PayloadCrypt.h"

#include <cstdint>
#include <utility>

namespace lumora {

class CRijndael : public IMethod {
public:
    static constexpr int kMaxBlockSize = 32;
    static constexpr int kMaxKeyLength = 32;
    static constexpr int kMaxRounds = 14;

    CRijndael() = default;
    // Wipes the key and the round keys.
    ~CRijndael() override;
    CRijndael(const CRijndael&) = delete;
    CRijndael& operator=(const CRijndael&) = delete;

    // Checks every parameter before changing anything, then keys the object. The key is
    // keyData repeated or cut to keyLength bytes; chain holds blockSize bytes (a null
    // chain stands for a block of zero bytes). May be called again to re-key.
    void Initialize(const unsigned char* keyData, int keyDataLength, const unsigned char* chain,
                    int keyLength, int blockSize, int mode, int padding);

    void ComputeSignature(unsigned char* out) override;
    void Encrypt(const unsigned char* in, unsigned char* out, size_t n) override;
    void Decrypt(const unsigned char* in, unsigned char* out, size_t n) override;
    void EncryptFile(const std::string& inPath, const std::string& outPath) override;
    void DecryptFile(const std::string& inPath, const std::string& outPath) override;
    void RestoreChain() override;

    // One block of blockSize bytes, forward or inverse cipher.
    void CipherBlock(const unsigned char* in, unsigned char* out) const;
    void InvCipherBlock(const unsigned char* in, unsigned char* out) const;

    // Told the input bytes done after each chunk of EncryptFile and DecryptFile; when it
    // returns false the call stops, removes its output file and raises.
    void SetChunkProgress(ChunkProgress progress) { m_progress = std::move(progress); }

private:
    void ExpandKey();
    void EncryptBlock(const unsigned char* in, unsigned char* out) const;
    void DecryptBlock(const unsigned char* in, unsigned char* out) const;
    void EncryptBlockAnySize(const unsigned char* in, unsigned char* out) const;
    void DecryptBlockAnySize(const unsigned char* in, unsigned char* out) const;
    void RequireWholeBlocks(size_t n) const;

    unsigned char m_acKey[kMaxKeyLength] = {};
    uint32_t m_aiEncKey[kMaxRounds + 1][8] = {};
    uint32_t m_aiDecKey[kMaxRounds + 1][8] = {};
    int m_iRounds = 0;
    unsigned char m_acChain0[kMaxBlockSize] = {};
    unsigned char m_acChain[kMaxBlockSize] = {};
    ChunkProgress m_progress;
};

} // namespace lumora
