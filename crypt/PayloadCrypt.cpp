// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/PayloadCrypt.h"

#include "crypt/Rijndael.h"

#include <cstring>
#include <string.h> // explicit_bzero

namespace lumora {

namespace {

constexpr int kPasswordKeySize = 32;

// Keys a fresh cipher with the engine configuration (AES-256, ECB, zero padding) and runs
// work on it. Any exception becomes false.
template <typename Work> bool WithEngineCipher(const char* password, Work&& work) noexcept {
    try {
        unsigned char key[kPasswordKeySize];
        MakePasswordKey(password, key);
        const unsigned char chain[CRijndael::kMaxBlockSize] = {};
        CRijndael cipher;
        cipher.Initialize(key, kPasswordKeySize, chain, 32, 16, IMethod::MODE_ECB,
                          IMethod::PAD_ZEROS);
        explicit_bzero(key, sizeof key);
        work(cipher);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

void MakePasswordKey(const char* password, unsigned char key[32]) {
    std::memset(key, 0, kPasswordKeySize);
    if (password != nullptr)
        std::memcpy(key, password, strnlen(password, kPasswordKeySize));
}

bool EncryptCheckRecord(unsigned char* in, unsigned char* out, const char* password, int len) {
    // A negative length would pad in front of the buffer.
    if (in == nullptr || out == nullptr || password == nullptr || len < 1)
        return false;
    return WithEngineCipher(password, [&](CRijndael& cipher) {
        cipher.RestoreChain();
        const size_t padded = cipher.PadBuffer(in, static_cast<size_t>(len));
        cipher.Encrypt(in, out, padded);
    });
}

bool DecryptCheckRecord(const unsigned char* in, unsigned char* out, const char* password,
                        int len) {
    // A negative length would turn into a huge unsigned one.
    if (in == nullptr || out == nullptr || password == nullptr || len < 1)
        return false;
    return WithEngineCipher(password, [&](CRijndael& cipher) {
        cipher.RestoreChain();
        cipher.Decrypt(in, out, static_cast<size_t>(len));
    });
}

bool EncryptPayloadFile(const char* inPath, const char* outPath, const char* password,
                        const ChunkProgress& progress) {
    if (inPath == nullptr || outPath == nullptr || password == nullptr)
        return false;
    return WithEngineCipher(password, [&](CRijndael& cipher) {
        cipher.SetChunkProgress(progress);
        cipher.EncryptFile(inPath, outPath);
    });
}

bool DecryptPayloadFile(const char* inPath, const char* outPath, const char* password,
                        const ChunkProgress& progress) {
    if (inPath == nullptr || outPath == nullptr || password == nullptr)
        return false;
    return WithEngineCipher(password, [&](CRijndael& cipher) {
        cipher.SetChunkProgress(progress);
        cipher.DecryptFile(inPath, outPath);
    });
}

} // namespace lumora
