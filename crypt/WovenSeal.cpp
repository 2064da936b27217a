// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/WovenSeal.h"

#include "platform/ByteOrder.h"

#include <cstring>
#include <new>
#include <sodium.h>

namespace lumora {
namespace {

static_assert(kWovenTagSize == crypto_aead_xchacha20poly1305_ietf_ABYTES);
static_assert(sizeof(WovenSalt) + kWovenSealedHeaderSize == 56);

constexpr uint8_t kZeroNonce[crypto_aead_xchacha20poly1305_ietf_NPUBBYTES] = {};

// Header plaintext: format id u32 | flags u32 | archive length u64 | 8 reserved zero bytes,
// little-endian.
void EncodeHeader(const WovenHeader& header, uint8_t out[kWovenHeaderSize]) {
    std::memset(out, 0, kWovenHeaderSize);
    StoreLittleEndian(out, header.formatId);
    StoreLittleEndian(out + 4, header.flags);
    StoreLittleEndian(out + 8, header.archiveLength);
}

WovenHeader DecodeHeader(const uint8_t in[kWovenHeaderSize]) {
    WovenHeader header;
    header.formatId = LoadLe32(in);
    header.flags = LoadLe32(in + 4);
    header.archiveLength = LoadLe64(in + 8);
    return header;
}

// The body's associated data: the salt, then the sealed header.
std::array<uint8_t, 56> BodyAssociatedData(const WovenKeys& keys,
                                           const SealedWovenHeader& sealedHeader) {
    std::array<uint8_t, 56> data;
    std::memcpy(data.data(), keys.Salt().data(), keys.Salt().size());
    std::memcpy(data.data() + keys.Salt().size(), sealedHeader.data(), sealedHeader.size());
    return data;
}

} // namespace

SealedOutcome SealWovenHeader(const WovenKeys& keys, const WovenLayout& layout,
                              uint64_t archiveLength, SealedWovenHeader& sealed) {
    if (keys.Empty())
        return SealedOutcome::WriteFailed;
    if (layout.fit != WovenFit::Fits || archiveLength > layout.limitBytes)
        return SealedOutcome::TooLarge;
    WovenHeader header;
    header.formatId = keys.FormatId();
    header.archiveLength = archiveLength;
    uint8_t plain[kWovenHeaderSize];
    EncodeHeader(header, plain);
    crypto_aead_xchacha20poly1305_ietf_encrypt(sealed.data(), nullptr, plain, sizeof plain,
                                               keys.Salt().data(), keys.Salt().size(), nullptr,
                                               kZeroNonce, keys.HeaderKey());
    return SealedOutcome::Ok;
}

SealedOutcome OpenWovenHeader(const WovenKeys& keys, const SealedWovenHeader& sealed,
                              const WovenLayout& layout, WovenHeader& header) {
    uint8_t plain[kWovenHeaderSize];
    if (keys.Empty() ||
        crypto_aead_xchacha20poly1305_ietf_decrypt(
            plain, nullptr, nullptr, sealed.data(), sealed.size(), keys.Salt().data(),
            keys.Salt().size(), kZeroNonce, keys.HeaderKey()) != 0)
        return SealedOutcome::NotOpened;
    const WovenHeader opened = DecodeHeader(plain);
    sodium_memzero(plain, sizeof plain);
    // Authentic, yet not what this key's writer would have written, or more than this
    // picture can hold.
    if (opened.formatId != keys.FormatId() || layout.fit != WovenFit::Fits ||
        opened.archiveLength > layout.limitBytes)
        return SealedOutcome::Damaged;
    header = opened;
    return SealedOutcome::Ok;
}

SealedOutcome SealWovenBody(const WovenKeys& keys, const SealedWovenHeader& sealedHeader,
                            const uint8_t* archive, size_t size, std::vector<uint8_t>& body) try {
    if (keys.Empty())
        return SealedOutcome::WriteFailed;
    const auto data = BodyAssociatedData(keys, sealedHeader);
    body.resize(size + kWovenTagSize);
    crypto_aead_xchacha20poly1305_ietf_encrypt(body.data(), nullptr, archive, size, data.data(),
                                               data.size(), nullptr, kZeroNonce, keys.BodyKey());
    return SealedOutcome::Ok;
} catch (const std::bad_alloc&) {
    return SealedOutcome::NoMemory;
}

SealedOutcome OpenWovenBody(const WovenKeys& keys, const SealedWovenHeader& sealedHeader,
                            const uint8_t* body, size_t size, SecretBytes& archive) try {
    if (keys.Empty())
        return SealedOutcome::NotOpened;
    if (size < kWovenTagSize)
        return SealedOutcome::Damaged;
    const auto data = BodyAssociatedData(keys, sealedHeader);
    SecretBytes plain(size - kWovenTagSize);
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(plain.Data(), nullptr, nullptr, body, size,
                                                   data.data(), data.size(), kZeroNonce,
                                                   keys.BodyKey()) != 0)
        return SealedOutcome::Damaged;
    archive = std::move(plain);
    return SealedOutcome::Ok;
} catch (const std::bad_alloc&) {
    return SealedOutcome::NoMemory;
}

SealedOutcome UnlockWoven(const Password& password, const WovenSalt& salt,
                          const WovenLayout& layout, const WovenHeaderReader& read, WovenKeys& keys,
                          WovenHeader& header, const CancelCheck& cancelled) {
    if (layout.fit != WovenFit::Fits)
        return SealedOutcome::NotOpened;
    for (const uint32_t formatId : KnownWovenFormats()) {
        if (cancelled && cancelled())
            return SealedOutcome::Cancelled;
        WovenKeys candidate;
        if (const SealedOutcome derived = DeriveWovenKeys(password, salt, formatId, candidate);
            derived != SealedOutcome::Ok)
            return derived;
        if (cancelled && cancelled())
            return SealedOutcome::Cancelled;
        SealedWovenHeader sealed;
        if (!read(candidate, sealed))
            return SealedOutcome::ReadFailed;
        const SealedOutcome opened = OpenWovenHeader(candidate, sealed, layout, header);
        if (opened == SealedOutcome::Ok)
            keys = std::move(candidate);
        if (opened != SealedOutcome::NotOpened)
            return opened;
    }
    return SealedOutcome::NotOpened;
}

void UnpackWovenBits(const uint8_t* bytes, size_t size, uint8_t* bits) {
    for (size_t i = 0; i < 8 * size; ++i)
        bits[i] = (bytes[i / 8] >> (i % 8)) & 1;
}

void PackWovenBits(const uint8_t* bits, size_t count, uint8_t* bytes) {
    for (size_t i = 0; i < count / 8; ++i) {
        uint8_t byte = 0;
        for (size_t bit = 0; bit < 8; ++bit)
            byte |= static_cast<uint8_t>((bits[8 * i + bit] & 1) << bit);
        bytes[i] = byte;
    }
}

} // namespace lumora
