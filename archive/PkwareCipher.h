// SPDX-License-Identifier: GPL-2.0-or-later
// The traditional PKWARE stream cipher of the zip format: three 32-bit keys seeded from
// the password and a 12-byte encryption header in front of each entry's data, whose last
// byte lets a reader check the password. The keys are as good as the password, so they
// are wiped when the cipher goes and copied only into CipherCheckpoints.
#pragma once

#include "crypt/SecretBytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace lumora {

// The cipher's three keys at some point of a stream.
using PkwareKeys = std::array<uint32_t, 3>;

class PkwareCipher {
public:
    static constexpr size_t kHeaderSize = 12;

    explicit PkwareCipher(std::span<const uint8_t> password);
    explicit PkwareCipher(const Password& password)
        : PkwareCipher(std::span<const uint8_t>(password.Data(), password.Size())) {}
    // Goes on from the keys another cipher reached (see CipherCheckpoints).
    explicit PkwareCipher(const PkwareKeys& keys);
    ~PkwareCipher();
    PkwareCipher(const PkwareCipher&) = delete;
    PkwareCipher& operator=(const PkwareCipher&) = delete;

    void Encrypt(uint8_t* data, size_t length);
    void Decrypt(uint8_t* data, size_t length);
    // Deciphers streams, each from its own keys, which it leaves as that stream ended. A
    // byte's keys wait on the byte before, so one thread deciphers two to three times as
    // fast with the steps of kSideBySide streams interleaved.
    static constexpr size_t kSideBySide = 4;
    static void DecryptSideBySide(std::span<PkwareKeys> keys,
                                  std::span<const std::span<uint8_t>> data);

    // Fills header with 11 random bytes and checkByte, encrypted; false when the system
    // gives no random bytes.
    [[nodiscard]] bool MakeHeader(uint8_t checkByte, uint8_t header[kHeaderSize]);
    // Decrypts header and returns its check byte.
    uint8_t ReadHeader(uint8_t header[kHeaderSize]);

    // The keys now; only for CipherCheckpoints, which wipes its copies.
    PkwareKeys Keys() const { return {m_keys[0], m_keys[1], m_keys[2]}; }

private:
    uint8_t KeyStreamByte() const;
    void UpdateKeys(uint8_t plain);

    uint32_t m_keys[3];
};

} // namespace lumora
