// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/SealedKey.h"

#include <atomic>
#include <new>
#include <sodium.h>

namespace lumora {
namespace {

struct Argon2Params {
    uint32_t formatId;
    unsigned long long opslimit;
    size_t memlimit;
};

constexpr Argon2Params kReleased[] = {
    {kSealedFormatV1, 3, size_t{256} * 1024 * 1024},
};
constexpr Argon2Params kTest = {kSealedFormatTest, 1, 8 * 1024};

// Context and subkey ids of crypto_kdf; part of the format.
constexpr char kKdfContext[crypto_kdf_CONTEXTBYTES + 1] = "LumoSeal";
constexpr uint64_t kHeaderSubkeyId = 1;
constexpr uint64_t kPayloadSubkeyId = 2;

static_assert(kSealedSaltSize == crypto_pwhash_SALTBYTES);
static_assert(crypto_kdf_KEYBYTES == 32);
static_assert(crypto_aead_xchacha20poly1305_ietf_KEYBYTES == 32);
static_assert(crypto_secretstream_xchacha20poly1305_KEYBYTES == 32);

std::atomic<bool> g_testFormat{false};

const Argon2Params* FindParams(uint32_t formatId) {
    if (g_testFormat)
        return formatId == kTest.formatId ? &kTest : nullptr;
    for (const Argon2Params& params : kReleased)
        if (params.formatId == formatId)
            return &params;
    return nullptr;
}

} // namespace

std::vector<uint32_t> KnownSealedFormats() {
    if (g_testFormat)
        return {kTest.formatId};
    std::vector<uint32_t> ids;
    for (auto it = std::rbegin(kReleased); it != std::rend(kReleased); ++it)
        ids.push_back(it->formatId);
    return ids;
}

uint32_t NewestSealedFormat() {
    return KnownSealedFormats().front();
}

void UseSealedTestFormat(bool on) {
    g_testFormat = on;
}

SealedOutcome DeriveSealedKey(const Password& password, const SealedSalt& salt, uint32_t formatId,
                              SealedKey& out) {
    const Argon2Params* params = FindParams(formatId);
    if (params == nullptr)
        return SealedOutcome::NotOpened;
    // sodium_init fails only when libsodium cannot set itself up at all; nothing can be
    // derived then, which is reported like a failed allocation.
    if (sodium_init() < 0)
        return SealedOutcome::NoMemory;
    try {
        SecretBytes master(crypto_kdf_KEYBYTES);
        static const char kNoBytes[1] = {};
        const char* text =
            password.Empty() ? kNoBytes : reinterpret_cast<const char*>(password.Data());
        // The parameters are fixed and valid, so a failure can only be Argon2's allocation
        // of memlimit bytes (errno ENOMEM); it must never read as a wrong password.
        if (crypto_pwhash(master.Data(), master.Size(), text, password.Size(), salt.data(),
                          params->opslimit, params->memlimit, crypto_pwhash_ALG_ARGON2ID13) != 0)
            return SealedOutcome::NoMemory;
        SealedKey key;
        key.m_subkeys = SecretBytes(2 * SealedKey::kSubkeySize);
        crypto_kdf_derive_from_key(key.m_subkeys.Data(), SealedKey::kSubkeySize, kHeaderSubkeyId,
                                   kKdfContext, master.Data());
        crypto_kdf_derive_from_key(key.m_subkeys.Data() + SealedKey::kSubkeySize,
                                   SealedKey::kSubkeySize, kPayloadSubkeyId, kKdfContext,
                                   master.Data());
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
