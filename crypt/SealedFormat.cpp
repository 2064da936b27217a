// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/SealedFormat.h"

#include "platform/ByteOrder.h"
#include "platform/DescriptorIo.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lumora {
namespace {

constexpr size_t kHeaderSize = 32;
constexpr size_t kAeadTagSize = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr size_t kStreamHeaderSize = crypto_secretstream_xchacha20poly1305_HEADERBYTES;
constexpr size_t kChunkOverhead = crypto_secretstream_xchacha20poly1305_ABYTES;
constexpr size_t kSealedChunkBytes = kSealedChunkSize + kChunkOverhead;
// A stream header and one empty FINAL chunk.
constexpr uint64_t kMinPayloadLength = kStreamHeaderSize + kChunkOverhead;

// Tail: salt | nonce | sealed header. The salt and nonce together are the header's
// associated data.
constexpr size_t kNonceOffset = kSealedSaltSize;
constexpr size_t kSealedHeaderOffset = kNonceOffset + kSealedNonceSize;
constexpr size_t kTailAdSize = kSealedHeaderOffset;

static_assert(kSealedNonceSize == crypto_aead_xchacha20poly1305_ietf_NPUBBYTES);
static_assert(kSealedTailSize == kSealedHeaderOffset + kHeaderSize + kAeadTagSize);
static_assert(kStreamHeaderSize == 24 && kChunkOverhead == 17);

constexpr unsigned char kTagMessage = crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;
constexpr unsigned char kTagFinal = crypto_secretstream_xchacha20poly1305_TAG_FINAL;

// Header plaintext: format id u32 | flags u32 | image length u64 | payload length u64 |
// 8 reserved zero bytes, little-endian.
void EncodeHeader(const SealedHeader& header, uint8_t out[kHeaderSize]) {
    std::memset(out, 0, kHeaderSize);
    StoreLittleEndian(out, header.formatId);
    StoreLittleEndian(out + 4, header.flags);
    StoreLittleEndian(out + 8, header.imageLength);
    StoreLittleEndian(out + 16, header.payloadLength);
}

void DecodeHeader(const uint8_t in[kHeaderSize], SealedHeader& header) {
    header.formatId = LoadLe32(in);
    header.flags = LoadLe32(in + 4);
    header.imageLength = LoadLe64(in + 8);
    header.payloadLength = LoadLe64(in + 16);
}

// Every chunk but the last holds exactly kSealedChunkSize bytes; the last holds fewer (none
// when the archive is a multiple of the chunk size), so the last chunk's ciphertext is
// between kChunkOverhead and kSealedChunkBytes - 1 bytes long.
bool PayloadLengthFits(uint64_t payloadLength) {
    return payloadLength >= kMinPayloadLength &&
           (payloadLength - kStreamHeaderSize) % kSealedChunkBytes >= kChunkOverhead;
}

// The stream state holds key material; it is wiped when the operation ends.
struct StreamState {
    crypto_secretstream_xchacha20poly1305_state state;
    ~StreamState() { sodium_memzero(&state, sizeof state); }
};

using Tail = std::array<uint8_t, kSealedTailSize>;

SealedOutcome ReadTail(int fd, int64_t fileSize, Tail& tail) {
    if (fileSize < static_cast<int64_t>(kMinPayloadLength + kSealedTailSize))
        return SealedOutcome::NotOpened;
    const ssize_t got = ReadUpToAt(fd, tail.data(), tail.size(), fileSize - kSealedTailSize);
    if (got < 0)
        return SealedOutcome::ReadFailed;
    return got == static_cast<ssize_t>(tail.size()) ? SealedOutcome::Ok : SealedOutcome::NotOpened;
}

SealedOutcome OpenTail(const Tail& tail, int64_t fileSize, const SealedKey& key,
                       SealedHeader& header) {
    if (key.Empty() || sodium_memcmp(tail.data(), key.Salt().data(), kSealedSaltSize) != 0)
        return SealedOutcome::NotOpened;
    uint8_t plain[kHeaderSize];
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            plain, nullptr, nullptr, tail.data() + kSealedHeaderOffset, kHeaderSize + kAeadTagSize,
            tail.data(), kTailAdSize, tail.data() + kNonceOffset, key.HeaderKey()) != 0)
        return SealedOutcome::NotOpened;
    SealedHeader opened;
    DecodeHeader(plain, opened);
    std::memcpy(opened.nonce.data(), tail.data() + kNonceOffset, kSealedNonceSize);
    // Authentic, yet not what this key's writer would have written, or not this file's layout.
    const uint64_t beforeTail = static_cast<uint64_t>(fileSize) - kSealedTailSize;
    if (opened.formatId != key.FormatId() || !PayloadLengthFits(opened.payloadLength) ||
        opened.payloadLength > beforeTail ||
        opened.imageLength != beforeTail - opened.payloadLength)
        return SealedOutcome::Damaged;
    header = opened;
    return SealedOutcome::Ok;
}

} // namespace

uint64_t SealedHeader::ArchiveLength() const {
    if (!PayloadLengthFits(payloadLength))
        return 0;
    const uint64_t chunks = payloadLength - kStreamHeaderSize;
    return chunks / kSealedChunkBytes * kSealedChunkSize + chunks % kSealedChunkBytes -
           kChunkOverhead;
}

int64_t SealedCarrierSize(int64_t imageLength, int64_t archiveLength) {
    const int64_t chunks = archiveLength / static_cast<int64_t>(kSealedChunkSize) + 1;
    return imageLength + static_cast<int64_t>(kStreamHeaderSize) +
           chunks * static_cast<int64_t>(kChunkOverhead) + archiveLength +
           static_cast<int64_t>(kSealedTailSize);
}

SealedOutcome OpenSealedTail(int fd, int64_t fileSize, const Password& password, SealedKey& key,
                             SealedHeader& header, const CancelCheck& cancelled) {
    Tail tail;
    if (const SealedOutcome read = ReadTail(fd, fileSize, tail); read != SealedOutcome::Ok)
        return read;
    SealedSalt salt;
    std::memcpy(salt.data(), tail.data(), salt.size());
    for (const uint32_t formatId : KnownSealedFormats()) {
        if (cancelled && cancelled())
            return SealedOutcome::Cancelled;
        SealedKey candidate;
        if (const SealedOutcome derived = DeriveSealedKey(password, salt, formatId, candidate);
            derived != SealedOutcome::Ok)
            return derived;
        if (cancelled && cancelled())
            return SealedOutcome::Cancelled;
        const SealedOutcome opened = OpenTail(tail, fileSize, candidate, header);
        if (opened == SealedOutcome::Ok)
            key = std::move(candidate);
        if (opened != SealedOutcome::NotOpened)
            return opened;
    }
    return SealedOutcome::NotOpened;
}

SealedOutcome ReadSealedTail(int fd, int64_t fileSize, const SealedKey& key, SealedHeader& header) {
    Tail tail;
    if (const SealedOutcome read = ReadTail(fd, fileSize, tail); read != SealedOutcome::Ok)
        return read;
    return OpenTail(tail, fileSize, key, header);
}

SealedOutcome UnsealPayload(int fd, const SealedHeader& header, const SealedKey& key,
                            const ArchiveSink& sink, const ChunkProgress& progress) try {
    if (key.Empty())
        return SealedOutcome::NotOpened;
    if (!PayloadLengthFits(header.payloadLength))
        return SealedOutcome::Damaged;
    uint64_t offset = header.imageLength;
    uint8_t streamHeader[kStreamHeaderSize];
    const ssize_t got = ReadUpToAt(fd, streamHeader, sizeof streamHeader, offset);
    if (got < 0)
        return SealedOutcome::ReadFailed;
    StreamState stream;
    if (got != static_cast<ssize_t>(sizeof streamHeader) ||
        crypto_secretstream_xchacha20poly1305_init_pull(&stream.state, streamHeader,
                                                        key.PayloadKey()) != 0)
        return SealedOutcome::Damaged;
    offset += kStreamHeaderSize;
    uint64_t remaining = header.payloadLength - kStreamHeaderSize;
    SecretBytes plain(kSealedChunkSize);
    std::vector<uint8_t> cipher(kSealedChunkBytes);
    uint64_t delivered = 0;
    while (remaining > 0) {
        const bool last = remaining < kSealedChunkBytes;
        const size_t size = last ? static_cast<size_t>(remaining) : kSealedChunkBytes;
        const ssize_t read = ReadUpToAt(fd, cipher.data(), size, offset);
        if (read < 0)
            return SealedOutcome::ReadFailed;
        if (read != static_cast<ssize_t>(size))
            return SealedOutcome::Damaged;
        unsigned long long plainSize = 0;
        unsigned char tag = 0;
        if (crypto_secretstream_xchacha20poly1305_pull(
                &stream.state, plain.Data(), &plainSize, &tag, cipher.data(), size,
                header.nonce.data(), header.nonce.size()) != 0 ||
            tag != (last ? kTagFinal : kTagMessage))
            return SealedOutcome::Damaged;
        if (plainSize > 0 && !sink(plain.Data(), plainSize))
            return SealedOutcome::WriteFailed;
        delivered += plainSize;
        offset += size;
        remaining -= size;
        if (progress && !progress(delivered))
            return SealedOutcome::Cancelled;
    }
    return SealedOutcome::Ok;
} catch (const std::bad_alloc&) {
    return SealedOutcome::NoMemory;
}

SealedOutcome SealPayload(int archiveFd, int outFd, int64_t imageLength, const SealedKey& key,
                          const ChunkProgress& progress) try {
    struct stat out;
    if (key.Empty() || imageLength < 0 || ::fstat(outFd, &out) != 0 || out.st_size != imageLength)
        return SealedOutcome::WriteFailed;
    struct stat archive;
    if (::fstat(archiveFd, &archive) != 0)
        return SealedOutcome::ReadFailed;
    if (S_ISREG(archive.st_mode)) {
        const off_t position = ::lseek(archiveFd, 0, SEEK_CUR);
        if (position >= 0 &&
            SealedCarrierSize(imageLength, archive.st_size - position) > kMaxSealedCarrierSize)
            return SealedOutcome::TooLarge;
    }

    SealedHeader header;
    header.formatId = key.FormatId();
    header.imageLength = static_cast<uint64_t>(imageLength);
    randombytes_buf(header.nonce.data(), header.nonce.size());
    StreamState stream;
    uint8_t streamHeader[kStreamHeaderSize];
    crypto_secretstream_xchacha20poly1305_init_push(&stream.state, streamHeader, key.PayloadKey());
    uint64_t offset = header.imageLength;
    if (!WriteAllAt(outFd, streamHeader, sizeof streamHeader, offset))
        return SealedOutcome::WriteFailed;
    offset += kStreamHeaderSize;

    SecretBytes plain(kSealedChunkSize);
    std::vector<uint8_t> cipher(kSealedChunkBytes);
    int64_t sealed = 0;
    for (bool last = false; !last;) {
        const ssize_t got = ReadUpTo(archiveFd, plain.Data(), kSealedChunkSize);
        if (got < 0)
            return SealedOutcome::ReadFailed;
        // A short chunk is the last one; an archive that fills its last chunk gets an empty one.
        last = got < static_cast<ssize_t>(kSealedChunkSize);
        sealed += got;
        if (SealedCarrierSize(imageLength, sealed) > kMaxSealedCarrierSize)
            return SealedOutcome::TooLarge;
        unsigned long long cipherSize = 0;
        crypto_secretstream_xchacha20poly1305_push(
            &stream.state, cipher.data(), &cipherSize, plain.Data(), static_cast<size_t>(got),
            header.nonce.data(), header.nonce.size(), last ? kTagFinal : kTagMessage);
        if (!WriteAllAt(outFd, cipher.data(), cipherSize, offset))
            return SealedOutcome::WriteFailed;
        offset += cipherSize;
        if (progress && !progress(static_cast<uint64_t>(sealed)))
            return SealedOutcome::Cancelled;
    }
    header.payloadLength = offset - header.imageLength;

    Tail tail;
    std::memcpy(tail.data(), key.Salt().data(), kSealedSaltSize);
    std::memcpy(tail.data() + kNonceOffset, header.nonce.data(), kSealedNonceSize);
    uint8_t plainHeader[kHeaderSize];
    EncodeHeader(header, plainHeader);
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        tail.data() + kSealedHeaderOffset, nullptr, plainHeader, kHeaderSize, tail.data(),
        kTailAdSize, nullptr, tail.data() + kNonceOffset, key.HeaderKey());
    return WriteAllAt(outFd, tail.data(), tail.size(), offset) ? SealedOutcome::Ok
                                                               : SealedOutcome::WriteFailed;
} catch (const std::bad_alloc&) {
    return SealedOutcome::NoMemory;
}

} // namespace lumora
