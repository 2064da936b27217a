// SPDX-License-Identifier: GPL-2.0-or-later
// The password step shared by Lumora's keyed formats: Argon2id over every byte of the password
// with a 16-byte salt, at the cost a format id fixes. Each carrier format keeps its own table of
// ids (a later version may add an id, never change one) and a test-only id with a tiny cost,
// which is known only while its test hook is on, and then alone.
#pragma once

#include "crypt/SealedKey.h"
#include "crypt/SecretBytes.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lumora {

struct Argon2Cost {
    uint32_t formatId;
    unsigned long long passes;
    size_t memoryBytes;
};

constexpr unsigned long long kArgon2ReleasedPasses = 3;
constexpr size_t kArgon2ReleasedMemory = size_t{256} * 1024 * 1024;
constexpr unsigned long long kArgon2TestPasses = 1;
constexpr size_t kArgon2TestMemory = 8 * 1024;

constexpr size_t kMasterKeySize = 32;
constexpr size_t kDerivedKeySize = 32;
using KeySalt = std::array<uint8_t, 16>;

class KeyFormats {
public:
    // released: oldest first.
    constexpr KeyFormats(std::span<const Argon2Cost> released, Argon2Cost test)
        : m_released(released), m_test(test) {}
    KeyFormats(const KeyFormats&) = delete;
    KeyFormats& operator=(const KeyFormats&) = delete;

    // Known ids, newest first: the released ones, or the test id alone while the hook is on.
    std::vector<uint32_t> Known() const;
    uint32_t Newest() const;
    void UseTest(bool on) { m_testOn = on; }

    // The 32-byte master key of password and salt under formatId: Ok; NotOpened for an id
    // that is not known; NoMemory when Argon2id cannot get its memory (never a wrong
    // password). It takes its full time and cannot be interrupted. master is replaced only
    // on Ok.
    SealedOutcome Stretch(const Password& password, const KeySalt& salt, uint32_t formatId,
                          SecretBytes& master) const;

private:
    const Argon2Cost* Find(uint32_t formatId) const;

    std::span<const Argon2Cost> m_released;
    Argon2Cost m_test;
    std::atomic<bool> m_testOn{false};
};

// How many Argon2id derivations this process has begun, for the tests and benchmarks that
// check that work costs no more keys than it needs.
uint64_t KeyDerivationsSoFar();
// How many of them the calling thread has begun, for the tests that check that a window's
// work derives its keys on another thread.
uint64_t KeyDerivationsOnThisThread();

// count subkeys of kDerivedKeySize bytes of master, with crypto_kdf ids 1, 2, ... count under the
// 8-character context, one after the other. Throws std::bad_alloc.
SecretBytes SplitMasterKey(const SecretBytes& master, const char (&context)[9], size_t count);

} // namespace lumora
