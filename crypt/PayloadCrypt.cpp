// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/PayloadCrypt.h"

#include "crypt/Rijndael.h"

#include <algorithm>
#include <cstring>

namespace lumora {

namespace {

constexpr int kPasswordKeySize = 32;

// Keys a fresh cipher with the engine configuration (AES-256, ECB, zero padding) and runs
// work on it. Any exception becomes false.
template <typename Work> bool WithEngineCipher(const Password& password, Work&& work) noexcept {
    try {
        SecretBytes key(kPasswordKeySize);
        MakePasswordKey(password, key.Data());
        const unsigned char chain[CRijndael::kMaxBlockSize] = {};
        CRijndael cipher;
        cipher.Initialize(key.Data(), kPasswordKeySize, chain, 32, 16, IMethod::MODE_ECB,
                          IMethod::PAD_ZEROS);
        work(cipher);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

void MakePasswordKey(const Password& password, unsigned char key[32]) {
    std::memset(key, 0, kPasswordKeySize);
    const std::string_view text = password.View();
    const size_t used = std::min(text.find('\0'), std::min<size_t>(text.size(), kPasswordKeySize));
    if (used > 0)
        std::memcpy(key, text.data(), used);
}

bool EncryptCheckRecord(unsigned char* in, unsigned char* out, const Password& password, int len) {
    // A negative length would pad in front of the buffer.
    if (in == nullptr || out == nullptr || len < 1)
        return false;
    return WithEngineCipher(password, [&](CRijndael& cipher) {
        cipher.RestoreChain();
        const size_t padded = cipher.PadBuffer(in, static_cast<size_t>(len));
        cipher.Encrypt(in, out, padded);
    });
}

bool DecryptCheckRecord(const unsigned char* in, unsigned char* out, const Password& password,
                        int len) {
    // A negative length would turn into a huge unsigned one.
    if (in == nullptr || out == nullptr || len < 1)
        return false;
    return WithEngineCipher(password, [&](CRijndael& cipher) {
        cipher.RestoreChain();
        cipher.Decrypt(in, out, static_cast<size_t>(len));
    });
}

bool EncryptPayloadFile(const char* inPath, const char* outPath, const Password& password,
                        const ChunkProgress& progress) {
    if (inPath == nullptr || outPath == nullptr)
        return false;
    return WithEngineCipher(password, [&](CRijndael& cipher) {
        cipher.SetChunkProgress(progress);
        cipher.EncryptFile(inPath, outPath);
    });
}

DecryptResult DecryptPayloadFile(const char* inPath, const char* outPath, const Password& password,
                                 const ChunkProgress& progress) {
    if (inPath == nullptr || outPath == nullptr)
        return DecryptResult::Failed;
    DecryptResult result = DecryptResult::Failed;
    bool cancelled = false;
    // The progress callback tells a cancellation apart from the failures it causes.
    ChunkProgress watched = [&](uint64_t done) {
        cancelled = progress && !progress(done);
        return !cancelled;
    };
    WithEngineCipher(password, [&](CRijndael& cipher) {
        cipher.SetChunkProgress(progress ? watched : ChunkProgress());
        try {
            cipher.DecryptFile(inPath, outPath);
            result = DecryptResult::Ok;
        } catch (const SignatureMismatch&) {
            result = DecryptResult::WrongKey;
        }
    });
    return cancelled ? DecryptResult::Cancelled : result;
}

} // namespace lumora
