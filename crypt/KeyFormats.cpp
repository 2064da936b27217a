// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/KeyFormats.h"

#include <atomic>
#include <iterator>
#include <new>
#include <sodium.h>

namespace lumora {

static_assert(std::tuple_size_v<KeySalt> == crypto_pwhash_SALTBYTES);
static_assert(kMasterKeySize == crypto_kdf_KEYBYTES && crypto_kdf_CONTEXTBYTES == 8);

const Argon2Cost* KeyFormats::Find(uint32_t formatId) const {
    if (m_testOn)
        return formatId == m_test.formatId ? &m_test : nullptr;
    for (const Argon2Cost& cost : m_released)
        if (cost.formatId == formatId)
            return &cost;
    return nullptr;
}

std::vector<uint32_t> KeyFormats::Known() const {
    if (m_testOn)
        return {m_test.formatId};
    std::vector<uint32_t> ids;
    for (auto it = m_released.rbegin(); it != m_released.rend(); ++it)
        ids.push_back(it->formatId);
    return ids;
}

uint32_t KeyFormats::Newest() const {
    return m_testOn ? m_test.formatId : m_released.back().formatId;
}

namespace {

std::atomic<uint64_t> g_derivations{0};
thread_local uint64_t t_derivations = 0;

} // namespace

uint64_t KeyDerivationsSoFar() {
    return g_derivations.load();
}

uint64_t KeyDerivationsOnThisThread() {
    return t_derivations;
}

SealedOutcome KeyFormats::Stretch(const Password& password, const KeySalt& salt, uint32_t formatId,
                                  SecretBytes& master) const {
    const Argon2Cost* cost = Find(formatId);
    if (cost == nullptr)
        return SealedOutcome::NotOpened;
    // sodium_init fails only when libsodium cannot set itself up at all; nothing can be
    // derived then, which is reported like a failed allocation.
    if (sodium_init() < 0)
        return SealedOutcome::NoMemory;
    try {
        SecretBytes derived(kMasterKeySize);
        static const char kNoBytes[1] = {};
        const char* text =
            password.Empty() ? kNoBytes : reinterpret_cast<const char*>(password.Data());
        g_derivations.fetch_add(1);
        ++t_derivations;
        // The costs are fixed and valid, so a failure can only be Argon2's allocation of
        // memoryBytes (errno ENOMEM); it must never read as a wrong password.
        if (crypto_pwhash(derived.Data(), derived.Size(), text, password.Size(), salt.data(),
                          cost->passes, cost->memoryBytes, crypto_pwhash_ALG_ARGON2ID13) != 0)
            return SealedOutcome::NoMemory;
        master = std::move(derived);
        return SealedOutcome::Ok;
    } catch (const std::bad_alloc&) {
        return SealedOutcome::NoMemory;
    }
}

SecretBytes SplitMasterKey(const SecretBytes& master, const char (&context)[9], size_t count) {
    SecretBytes subkeys(count * kDerivedKeySize);
    for (size_t i = 0; i < count; ++i)
        crypto_kdf_derive_from_key(subkeys.Data() + i * kDerivedKeySize, kDerivedKeySize, i + 1,
                                   context, master.Data());
    return subkeys;
}

} // namespace lumora
