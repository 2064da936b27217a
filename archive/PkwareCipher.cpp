// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/PkwareCipher.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <sodium.h>
#include <sys/random.h>
#include <zlib.h>

namespace lumora {
namespace {

uint32_t Crc32Step(uint32_t crc, uint8_t byte) {
    static const z_crc_t* const table = get_crc_table();
    return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

// The low bytes of the CRC-32 table: the byte of key 0 that key 1 takes, read at once.
const uint8_t* CrcLowBytes() {
    static const std::array<uint8_t, 256> table = [] {
        std::array<uint8_t, 256> low{};
        const z_crc_t* crc = get_crc_table();
        for (size_t i = 0; i < low.size(); ++i)
            low[i] = static_cast<uint8_t>(crc[i]);
        return low;
    }();
    return table.data();
}

// KeyStreamByte and UpdateKeys, arranged for the chain from one byte's keys to the next,
// which bounds deciphering: the keys stay in registers, whatever does not wait for the
// previous byte is worked out beside that chain, the key stream byte needs no mask (bits
// 8 to 15 of the product depend only on the low 16 bits of key 2), and key 1 takes key
// 0's low byte from a table of low bytes. With N streams the steps of different streams
// fill the time one stream's step waits.
template <size_t N> void DecryptStreams(PkwareKeys* keys, uint8_t* const* data, size_t length) {
    static const z_crc_t* const crc = get_crc_table();
    const uint8_t* const low = CrcLowBytes();
    uint32_t key0[N], key1[N], key2[N];
    for (size_t s = 0; s < N; ++s) {
        key0[s] = keys[s][0];
        key1[s] = keys[s][1];
        key2[s] = keys[s][2];
    }
    for (size_t i = 0; i < length; ++i) {
        for (size_t s = 0; s < N; ++s) {
            const uint32_t cipher = data[s][i];
            const uint32_t product = (key2[s] | 2u) * ((key2[s] ^ 1u) | 2u);
            data[s][i] = static_cast<uint8_t>(cipher ^ (product >> 8));
            // (key0 ^ plain) & 0xFF, with plain = cipher ^ key stream byte.
            const uint32_t index = ((product ^ ((key0[s] ^ cipher) << 8)) >> 8) & 0xFFu;
            const uint32_t lowByte = low[index] ^ ((key0[s] >> 8) & 0xFFu);
            key0[s] = crc[index] ^ (key0[s] >> 8);
            key1[s] = (key1[s] + lowByte) * 134775813u + 1u;
            key2[s] = crc[((key1[s] >> 24) ^ key2[s]) & 0xFFu] ^ (key2[s] >> 8);
        }
    }
    for (size_t s = 0; s < N; ++s)
        keys[s] = {key0[s], key1[s], key2[s]};
}

bool FillRandom(uint8_t* data, size_t length) {
    while (length > 0) {
        ssize_t got = ::getrandom(data, length, 0);
        if (got <= 0)
            return false;
        data += got;
        length -= static_cast<size_t>(got);
    }
    return true;
}

} // namespace

PkwareCipher::PkwareCipher(std::span<const uint8_t> password)
    : m_keys{0x12345678u, 0x23456789u, 0x34567890u} {
    for (uint8_t c : password)
        UpdateKeys(c);
}

PkwareCipher::PkwareCipher(const PkwareKeys& keys) : m_keys{keys[0], keys[1], keys[2]} {}

PkwareCipher::~PkwareCipher() {
    sodium_memzero(m_keys, sizeof m_keys);
}

uint8_t PkwareCipher::KeyStreamByte() const {
    uint32_t temp = (m_keys[2] & 0xFFFFu) | 2u;
    return static_cast<uint8_t>((temp * (temp ^ 1u)) >> 8);
}

void PkwareCipher::UpdateKeys(uint8_t plain) {
    m_keys[0] = Crc32Step(m_keys[0], plain);
    m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFFu)) * 134775813u + 1u;
    m_keys[2] = Crc32Step(m_keys[2], static_cast<uint8_t>(m_keys[1] >> 24));
}

void PkwareCipher::Encrypt(uint8_t* data, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        uint8_t plain = data[i];
        data[i] = plain ^ KeyStreamByte();
        UpdateKeys(plain);
    }
}

void PkwareCipher::Decrypt(uint8_t* data, size_t length) {
    PkwareKeys keys = Keys();
    DecryptStreams<1>(&keys, &data, length);
    m_keys[0] = keys[0];
    m_keys[1] = keys[1];
    m_keys[2] = keys[2];
    sodium_memzero(keys.data(), sizeof keys);
}

void PkwareCipher::DecryptSideBySide(std::span<PkwareKeys> keys,
                                     std::span<const std::span<uint8_t>> data) {
    for (size_t first = kSideBySide; first < data.size(); first += kSideBySide) {
        const size_t n = std::min(kSideBySide, data.size() - first);
        DecryptSideBySide(keys.subspan(first, n), data.subspan(first, n));
    }
    // The streams not yet ended: their keys, where they are, what is left, which they are.
    std::array<PkwareKeys, kSideBySide> running{};
    std::array<uint8_t*, kSideBySide> at{};
    std::array<size_t, kSideBySide> left{};
    std::array<size_t, kSideBySide> which{};
    size_t count = 0;
    for (size_t s = 0; s < std::min(data.size(), kSideBySide); ++s) {
        if (data[s].empty())
            continue;
        running[count] = keys[s];
        at[count] = data[s].data();
        left[count] = data[s].size();
        which[count++] = s;
    }
    while (count > 0) {
        const size_t common = *std::min_element(left.begin(), left.begin() + count);
        switch (count) {
        case 4:
            DecryptStreams<4>(running.data(), at.data(), common);
            break;
        case 3:
            DecryptStreams<3>(running.data(), at.data(), common);
            break;
        case 2:
            DecryptStreams<2>(running.data(), at.data(), common);
            break;
        default:
            DecryptStreams<1>(running.data(), at.data(), common);
            break;
        }
        // The shortest streams end here; the others go on side by side.
        size_t kept = 0;
        for (size_t i = 0; i < count; ++i) {
            if (left[i] == common) {
                keys[which[i]] = running[i];
                continue;
            }
            running[kept] = running[i];
            at[kept] = at[i] + common;
            left[kept] = left[i] - common;
            which[kept++] = which[i];
        }
        count = kept;
    }
    sodium_memzero(running.data(), sizeof running);
}

bool PkwareCipher::MakeHeader(uint8_t checkByte, uint8_t header[kHeaderSize]) {
    if (!FillRandom(header, kHeaderSize - 1))
        return false;
    header[kHeaderSize - 1] = checkByte;
    Encrypt(header, kHeaderSize);
    return true;
}

uint8_t PkwareCipher::ReadHeader(uint8_t header[kHeaderSize]) {
    Decrypt(header, kHeaderSize);
    return header[kHeaderSize - 1];
}

} // namespace lumora
