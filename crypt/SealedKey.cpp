// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/SealedKey.h"

#include "crypt/KeyFormats.h"

#include <new>
#include <sodium.h>

namespace lumora {
namespace {

constexpr Argon2Cost kReleased[] = {
    {kSealedFormatV1, kArgon2ReleasedPasses, kArgon2ReleasedMemory},
};
constinit KeyFormats g_formats(kReleased,
                               {kSealedFormatTest, kArgon2TestPasses, kArgon2TestMemory});

// Context of crypto_kdf; part of the format.
constexpr char kKdfContext[] = "LumoSeal";

static_assert(crypto_aead_xchacha20poly1305_ietf_KEYBYTES == 32);
static_assert(crypto_secretstream_xchacha20poly1305_KEYBYTES == 32);

} // namespace

std::vector<uint32_t> KnownSealedFormats() {
    return g_formats.Known();
}

uint32_t NewestSealedFormat() {
    return g_formats.Newest();
}

void UseSealedTestFormat(bool on) {
    g_formats.UseTest(on);
}

SealedOutcome DeriveSealedKey(const Password& password, const SealedSalt& salt, uint32_t formatId,
                              SealedKey& out) {
    SecretBytes master;
    if (const SealedOutcome stretched = g_formats.Stretch(password, salt, formatId, master);
        stretched != SealedOutcome::Ok)
        return stretched;
    try {
        SealedKey key;
        // Subkey id 1 is the header key, 2 the payload key.
        key.m_subkeys = SplitMasterKey(master, kKdfContext, 2);
        key.m_salt = salt;
        key.m_formatId = formatId;
        out = std::move(key);
        return SealedOutcome::Ok;
    } catch (const std::bad_alloc&) {
        return SealedOutcome::NoMemory;
    }
}

SealedOutcome NewSealedKey(const Password& password, SealedKey& out) {
    if (sodium_init() < 0)
        return SealedOutcome::NoMemory;
    SealedSalt salt;
    randombytes_buf(salt.data(), salt.size());
    return DeriveSealedKey(password, salt, NewestSealedFormat(), out);
}

} // namespace lumora
