// SPDX-License-Identifier: GPL-2.0-or-later
// Keys of sealed carriers. A password and a random salt go through Argon2id with the
// parameters of a format id; two subkeys are drawn from the result with crypto_kdf, one for
// the tail's header and one for the payload stream. The parameters are never stored in a
// carrier: a reader derives with every known format, newest first, until the tail opens.
#pragma once

#include "crypt/SecretBytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumora {

enum class [[nodiscard]] SealedOutcome{
    Ok,
    // No sealed data, or the password does not open it: one outcome by design, since the
    // two cannot be told apart without the password.
    NotOpened,
    // Key derivation could not get its memory (ENOMEM, a tight `ulimit -v`), or, rarely,
    // a chunk buffer could not be had.
    NoMemory,
    // The tail opened but the payload fails authentication, is cut short or has no final
    // chunk, or the tail's lengths do not fit the file.
    Damaged,
    Cancelled,
    ReadFailed,
    WriteFailed,
    // The carrier would reach the size limit of carriers.
    TooLarge,
};

constexpr size_t kSealedSaltSize = 16;
using SealedSalt = std::array<uint8_t, kSealedSaltSize>;

// Format ids. A format fixes the Argon2id parameters for good; a later version may add a
// format, never change one.
constexpr uint32_t kSealedFormatV1 = 1;            // 3 passes, 256 MiB
constexpr uint32_t kSealedFormatTest = 0x7E570001; // 1 pass, 8 KiB; tests only

// Known formats, newest first. The test format is known only while the test hook is on,
// and then alone, so tests never pay for the released parameters by accident.
std::vector<uint32_t> KnownSealedFormats();
uint32_t NewestSealedFormat();

// Test hook: while on, NewSealedKey uses the cheap test format and readers try it alone.
// Never switched on by the programs.
void UseSealedTestFormat(bool on);

class SealedKey {
public:
    SealedKey() = default;
    SealedKey(SealedKey&&) noexcept = default;
    SealedKey& operator=(SealedKey&&) noexcept = default;

    bool Empty() const { return m_subkeys.Empty(); }
    uint32_t FormatId() const { return m_formatId; }
    const SealedSalt& Salt() const { return m_salt; }
    // 32-byte subkeys for crypto_aead_xchacha20poly1305_ietf and for the secretstream.
    const uint8_t* HeaderKey() const { return m_subkeys.Data(); }
    const uint8_t* PayloadKey() const { return m_subkeys.Data() + kSubkeySize; }

private:
    static constexpr size_t kSubkeySize = 32;
    friend SealedOutcome DeriveSealedKey(const Password&, const SealedSalt&, uint32_t, SealedKey&);

    SecretBytes m_subkeys; // header key, then payload key
    SealedSalt m_salt{};
    uint32_t m_formatId = 0;
};

// Derivation alone: Argon2id over every byte of the password. It takes its full time and
// memory and cannot be interrupted, so callers run it off the interface thread. Ok, NoMemory,
// or NotOpened for a format id that is not known. out is replaced only on Ok.
SealedOutcome DeriveSealedKey(const Password& password, const SealedSalt& salt, uint32_t formatId,
                              SealedKey& out);
// A key for a new carrier: a fresh random salt and the newest format.
SealedOutcome NewSealedKey(const Password& password, SealedKey& out);

} // namespace lumora
