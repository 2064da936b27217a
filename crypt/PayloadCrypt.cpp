// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/PayloadCrypt.h"

#include "crypt/Rijndael.h"
#include "platform/DescriptorIo.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace lumora {

namespace {

constexpr int kPasswordKeySize = 32;
constexpr int64_t kSignatureSize = 32;
constexpr int64_t kCipherBlock = 16;
// Large pieces let the AES instructions run on long stretches of blocks.
constexpr size_t kPieceSize = 256 * 1024;

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

int64_t EncryptedPayloadSize(int64_t plainSize) {
    return kSignatureSize + (plainSize + kCipherBlock - 1) / kCipherBlock * kCipherBlock;
}

bool EncryptPayloadInto(const char* inPath, FILE* out, const Password& password,
                        const ChunkProgress& progress) {
    if (inPath == nullptr || out == nullptr)
        return false;
    std::unique_ptr<FILE, int (*)(FILE*)> in(std::fopen(inPath, "rbe"), &std::fclose);
    if (!in)
        return false;
    bool written = false;
    const bool keyed = WithEngineCipher(password, [&](CRijndael& cipher) {
        unsigned char signature[kSignatureSize];
        cipher.ComputeSignature(signature);
        if (std::fwrite(signature, 1, sizeof signature, out) != sizeof signature)
            return;
        std::vector<unsigned char> piece(kPieceSize);
        uint64_t done = 0;
        for (;;) {
            const size_t got = std::fread(piece.data(), 1, piece.size(), in.get());
            if (got == 0)
                break;
            done += got;
            const size_t padded = cipher.PadBuffer(piece.data(), got);
            cipher.Encrypt(piece.data(), piece.data(), padded);
            if (std::fwrite(piece.data(), 1, padded, out) != padded ||
                (progress && !progress(done)))
                return;
        }
        written = !std::ferror(in.get());
    });
    return keyed && written;
}

DecryptResult DecryptPayloadRange(int fd, int64_t offset, int64_t length, const char* outPath,
                                  const Password& password, const ChunkProgress& progress) {
    if (outPath == nullptr || fd < 0 || offset < 0 || length < 0)
        return DecryptResult::Failed;
    DecryptResult result = DecryptResult::Failed;
    bool cancelled = false;
    int out = -1;
    WithEngineCipher(password, [&](CRijndael& cipher) {
        unsigned char expected[kSignatureSize];
        unsigned char stored[kSignatureSize] = {};
        cipher.ComputeSignature(expected);
        if (length < kSignatureSize ||
            !ReadAllAt(fd, stored, sizeof stored, static_cast<uint64_t>(offset)) ||
            std::memcmp(stored, expected, sizeof stored) != 0) {
            result = DecryptResult::WrongKey;
            return;
        }
        const int64_t cipherLength = length - kSignatureSize;
        if (cipherLength % kCipherBlock != 0)
            return;
        out = ::open(outPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (out < 0)
            return;
        std::vector<unsigned char> piece(kPieceSize);
        for (int64_t done = 0; done < cipherLength;) {
            const size_t n = static_cast<size_t>(
                std::min<int64_t>(static_cast<int64_t>(piece.size()), cipherLength - done));
            if (!ReadAllAt(fd, piece.data(), n,
                           static_cast<uint64_t>(offset + kSignatureSize + done)))
                return;
            cipher.Decrypt(piece.data(), piece.data(), n);
            if (!WriteAll(out, piece.data(), n))
                return;
            done += static_cast<int64_t>(n);
            if (progress && !progress(static_cast<uint64_t>(kSignatureSize + done))) {
                cancelled = true;
                return;
            }
        }
        result = DecryptResult::Ok;
    });
    if (out >= 0 && ::close(out) != 0 && result == DecryptResult::Ok)
        result = DecryptResult::Failed;
    if (cancelled)
        result = DecryptResult::Cancelled;
    if (out >= 0 && result != DecryptResult::Ok)
        ::unlink(outPath);
    return result;
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
