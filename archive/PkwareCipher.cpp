// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/PkwareCipher.h"

#include <sodium.h>
#include <sys/random.h>
#include <zlib.h>

namespace lumora {
namespace {

uint32_t Crc32Step(uint32_t crc, uint8_t byte) {
    static const z_crc_t* const table = get_crc_table();
    return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
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
    for (size_t i = 0; i < length; ++i) {
        data[i] ^= KeyStreamByte();
        UpdateKeys(data[i]);
    }
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
