// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/PayloadCrypt.h"

#include "crypt/Rijndael.h"
#include "platform/DescriptorIo.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sodium.h>
#include <unistd.h>
#include <vector>

namespace lumora {

namespace {

constexpr int kPasswordKeySize = 32;
constexpr int64_t kSignatureSize = 32;
constexpr int64_t kCipherBlock = 16;
// Large pieces let the AES instructions run on long stretches of blocks.
constexpr size_t kPieceSize = 256 * 1024;

// Keys cipher with the engine configuration (AES-256, ECB, zero padding).
void KeyEngineCipher(CRijndael& cipher, const Password& password) {
    SecretBytes key(kPasswordKeySize);
    MakePasswordKey(password, key.Data());
    const unsigned char chain[CRijndael::kMaxBlockSize] = {};
    cipher.Initialize(key.Data(), kPasswordKeySize, chain, 32, 16, IMethod::MODE_ECB,
                      IMethod::PAD_ZEROS);
}

// Keys a fresh cipher and runs work on it. Any exception becomes false.
template <typename Work> bool WithEngineCipher(const Password& password, Work&& work) noexcept {
    try {
        CRijndael cipher;
        KeyEngineCipher(cipher, password);
        work(cipher);
        return true;
    } catch (...) {
        return false;
    }
}

// Whether the encrypted payload file at offset of fd begins with the signature of the
// cipher's key.
bool SignatureMatches(CRijndael& cipher, int fd, int64_t offset, int64_t length) {
    unsigned char expected[kSignatureSize];
    unsigned char stored[kSignatureSize] = {};
    cipher.ComputeSignature(expected);
    return length >= kSignatureSize &&
           ReadAllAt(fd, stored, sizeof stored, static_cast<uint64_t>(offset)) &&
           std::memcmp(stored, expected, sizeof stored) == 0;
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
    if (outPath == nullptr)
        return DecryptResult::Failed;
    std::unique_ptr<PayloadReader> reader;
    DecryptResult result = PayloadReader::Open(fd, offset, length, password, reader);
    if (result != DecryptResult::Ok)
        return result;
    const int out = ::open(outPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (out < 0)
        return DecryptResult::Failed;
    try {
        std::vector<unsigned char> piece(kPieceSize);
        for (uint64_t done = 0; result == DecryptResult::Ok && done < reader->Size();) {
            const size_t n =
                static_cast<size_t>(std::min<uint64_t>(piece.size(), reader->Size() - done));
            if (!reader->ReadAt(done, piece.data(), n) || !WriteAll(out, piece.data(), n)) {
                result = DecryptResult::Failed;
            } else {
                done += n;
                if (progress && !progress(static_cast<uint64_t>(kSignatureSize) + done))
                    result = DecryptResult::Cancelled;
            }
        }
    } catch (...) {
        result = DecryptResult::Failed;
    }
    if (::close(out) != 0 && result == DecryptResult::Ok)
        result = DecryptResult::Failed;
    if (result != DecryptResult::Ok)
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

DecryptResult PayloadReader::Open(int fd, int64_t offset, int64_t length, const Password& password,
                                  std::unique_ptr<PayloadReader>& reader) {
    reader.reset();
    if (fd < 0 || offset < 0 || length < 0)
        return DecryptResult::Failed;
    try {
        auto cipher = std::make_unique<CRijndael>();
        KeyEngineCipher(*cipher, password);
        if (!SignatureMatches(*cipher, fd, offset, length))
            return DecryptResult::WrongKey;
        if ((length - kSignatureSize) % kCipherBlock != 0)
            return DecryptResult::Failed;
        const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (own < 0)
            return DecryptResult::Failed;
        reader.reset(new PayloadReader(own, static_cast<uint64_t>(offset + kSignatureSize),
                                       static_cast<uint64_t>(length - kSignatureSize),
                                       std::move(cipher)));
        return DecryptResult::Ok;
    } catch (...) {
        return DecryptResult::Failed;
    }
}

PayloadReader::PayloadReader(int fd, uint64_t start, uint64_t size,
                             std::unique_ptr<CRijndael> cipher)
    : m_fd(fd), m_start(start), m_size(size), m_cipher(std::move(cipher)) {}

PayloadReader::~PayloadReader() {
    ::close(m_fd);
}

bool PayloadReader::ReadAt(uint64_t offset, uint8_t* out, size_t length) const {
    if (offset > m_size || length > m_size - offset)
        return false;
    constexpr uint64_t kBlock = static_cast<uint64_t>(kCipherBlock);
    const uint64_t end = offset + length;
    const uint64_t wholeFrom = (offset + kBlock - 1) / kBlock * kBlock;
    const uint64_t wholeTo = end / kBlock * kBlock;
    if (wholeFrom >= wholeTo)
        return ReadWithinBlocks(offset, end, out);
    // Whole blocks are deciphered where the caller wants them: ECB deciphers each block on
    // its own and changes nothing in the cipher, so readers on several threads share it.
    uint8_t* whole = out + (wholeFrom - offset);
    const auto wholeLength = static_cast<size_t>(wholeTo - wholeFrom);
    if (!ReadAllAt(m_fd, whole, wholeLength, m_start + wholeFrom))
        return false;
    m_cipher->Decrypt(whole, whole, wholeLength);
    return ReadWithinBlocks(offset, wholeFrom, out) &&
           ReadWithinBlocks(wholeTo, end, out + (wholeTo - offset));
}

bool PayloadReader::ReadWithinBlocks(uint64_t from, uint64_t to, uint8_t* out) const {
    constexpr uint64_t kBlock = static_cast<uint64_t>(kCipherBlock);
    if (from >= to)
        return true;
    // At most two blocks: the range is shorter than one, or cut by the ends of a longer one.
    unsigned char blocks[2 * kCipherBlock];
    const uint64_t first = from / kBlock * kBlock;
    const auto n = static_cast<size_t>((to + kBlock - 1) / kBlock * kBlock - first);
    const bool read = ReadAllAt(m_fd, blocks, n, m_start + first);
    if (read) {
        m_cipher->Decrypt(blocks, blocks, n);
        std::memcpy(out, blocks + (from - first), static_cast<size_t>(to - from));
    }
    sodium_memzero(blocks, sizeof blocks);
    return read;
}

} // namespace lumora
