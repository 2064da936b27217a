// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/WovenKeys.h"

#include <new>
#include <sodium.h>

namespace lumora {
namespace {

constexpr Argon2Cost kReleased[] = {
    {kWovenFormatV1, kArgon2ReleasedPasses, kArgon2ReleasedMemory},
};
constinit KeyFormats g_formats(kReleased, {kWovenFormatTest, kArgon2TestPasses, kArgon2TestMemory});

// Context of crypto_kdf; part of the format. Subkey ids 1 to 4 are the position, header,
// body and tie keys.
constexpr char kKdfContext[] = "LumoWeav";
constexpr size_t kSubkeys = 4;

} // namespace

std::vector<uint32_t> KnownWovenFormats() {
    return g_formats.Known();
}

uint32_t NewestWovenFormat() {
    return g_formats.Newest();
}

void UseWovenTestFormat(bool on) {
    g_formats.UseTest(on);
}

SealedOutcome DeriveWovenKeys(const Password& password, const WovenSalt& salt, uint32_t formatId,
                              WovenKeys& out) {
    SecretBytes master;
    if (const SealedOutcome stretched = g_formats.Stretch(password, salt, formatId, master);
        stretched != SealedOutcome::Ok)
        return stretched;
    try {
        WovenKeys keys;
        keys.m_subkeys = SplitMasterKey(master, kKdfContext, kSubkeys);
        keys.m_salt = salt;
        keys.m_formatId = formatId;
        out = std::move(keys);
        return SealedOutcome::Ok;
    } catch (const std::bad_alloc&) {
        return SealedOutcome::NoMemory;
    }
}

SealedOutcome NewWovenKeys(const Password& password, WovenKeys& out) {
    if (sodium_init() < 0)
        return SealedOutcome::NoMemory;
    WovenSalt salt;
    randombytes_buf(salt.data(), salt.size());
    return DeriveWovenKeys(password, salt, NewestWovenFormat(), out);
}

} // namespace lumora
