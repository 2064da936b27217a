// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/PkwareCipher.h"

#include <sys/random.h>
#include <zlib.h>

namespace lumora {
namespace {

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

// The three keys in registers for a run of bytes: stores through the byte pointer may
// alias members, which would make the compiler reload the keys after every byte.
struct PkwareCipher::KeyState {
    uint32_t k0, k1, k2;
    const z_crc_t* table;

    uint8_t StreamByte() const {
        uint32_t temp = (k2 & 0xFFFFu) | 2u;
        return static_cast<uint8_t>((temp * (temp ^ 1u)) >> 8);
    }

    void Update(uint8_t plain) {
        k0 = table[(k0 ^ plain) & 0xFF] ^ (k0 >> 8);
        k1 = (k1 + (k0 & 0xFFu)) * 134775813u + 1u;
        k2 = table[(k2 ^ (k1 >> 24)) & 0xFF] ^ (k2 >> 8);
    }
};

PkwareCipher::PkwareCipher(const std::string& password)
    : m_keys{0x12345678u, 0x23456789u, 0x34567890u} {
    KeyState state = Load();
    for (char c : password)
        state.Update(static_cast<uint8_t>(c));
    Store(state);
}

PkwareCipher::KeyState PkwareCipher::Load() const {
    return KeyState{m_keys[0], m_keys[1], m_keys[2], get_crc_table()};
}

void PkwareCipher::Store(const KeyState& state) {
    m_keys[0] = state.k0;
    m_keys[1] = state.k1;
    m_keys[2] = state.k2;
}

void PkwareCipher::Encrypt(uint8_t* data, size_t length) {
    KeyState state = Load();
    for (size_t i = 0; i < length; ++i) {
        uint8_t plain = data[i];
        data[i] = plain ^ state.StreamByte();
        state.Update(plain);
    }
    Store(state);
}

void PkwareCipher::Decrypt(uint8_t* data, size_t length) {
    KeyState state = Load();
    for (size_t i = 0; i < length; ++i) {
        uint8_t plain = data[i] ^ state.StreamByte();
        data[i] = plain;
        state.Update(plain);
    }
    Store(state);
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
