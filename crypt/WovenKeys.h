// SPDX-License-Identifier: GPL-2.0-or-later
// Keys of woven carriers. A password and the carrier's random salt go through Argon2id with
// the cost of a format id (the ids and costs of sealed carriers); four subkeys are drawn from
// the result with crypto_kdf: one orders the positions, one seals the header, one the body,
// and one picks the direction of changes whose two directions cost the same. The format id
// is stored only inside the sealed header: a reader derives with every known id, newest
// first, until the header opens.
#pragma once

#include "crypt/KeyFormats.h"
#include "crypt/SealedKey.h"
#include "crypt/SecretBytes.h"

#include <cstdint>
#include <vector>

namespace lumora {

using WovenSalt = KeySalt;

constexpr uint32_t kWovenFormatV1 = 1;            // 3 passes, 256 MiB
constexpr uint32_t kWovenFormatTest = 0x7E570001; // 1 pass, 8 KiB; tests only

// Known formats, newest first; the test format alone while the test hook is on.
std::vector<uint32_t> KnownWovenFormats();
uint32_t NewestWovenFormat();

// Test hook: while on, NewWovenKeys uses the cheap test format and readers try it alone.
// Never switched on by the programs.
void UseWovenTestFormat(bool on);

class WovenKeys {
public:
    static constexpr size_t kKeySize = kDerivedKeySize;

    WovenKeys() = default;
    WovenKeys(WovenKeys&&) noexcept = default;
    WovenKeys& operator=(WovenKeys&&) noexcept = default;

    bool Empty() const { return m_subkeys.Empty(); }
    uint32_t FormatId() const { return m_formatId; }
    const WovenSalt& Salt() const { return m_salt; }
    // kKeySize-byte subkeys.
    const uint8_t* PositionKey() const { return m_subkeys.Data(); }
    const uint8_t* HeaderKey() const { return m_subkeys.Data() + kKeySize; }
    const uint8_t* BodyKey() const { return m_subkeys.Data() + 2 * kKeySize; }
    const uint8_t* TieKey() const { return m_subkeys.Data() + 3 * kKeySize; }

private:
    friend SealedOutcome DeriveWovenKeys(const Password&, const WovenSalt&, uint32_t, WovenKeys&);

    SecretBytes m_subkeys; // position, header, body and tie key
    WovenSalt m_salt{};
    uint32_t m_formatId = 0;
};

// Derivation alone, as for sealed carriers: Ok, NoMemory, or NotOpened for a format id that
// is not known. It takes its full time and memory and cannot be interrupted. out is replaced
// only on Ok.
SealedOutcome DeriveWovenKeys(const Password& password, const WovenSalt& salt, uint32_t formatId,
                              WovenKeys& out);
// Keys for a new carrier: a fresh random salt and the newest format.
SealedOutcome NewWovenKeys(const Password& password, WovenKeys& out);

} // namespace lumora
