// SPDX-License-Identifier: GPL-2.0-or-later
// The PKWARE cipher's keys at fixed points of the entries a writer enciphered. With them a
// reader can decipher a large entry in stretches side by side (CheckpointDecipher) and
// still get exactly what one reader from the start would get: the first stretch starts
// from the reader's own keys, and each stretch must end on the keys the next starts from.
// The keys are as good as the password: they are kept here only, and wiped when it goes.
#pragma once

#include "archive/PkwareCipher.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lumora {

// Stored bytes (after the encryption header) from one point to the next.
inline constexpr size_t kCheckpointSpacing = 256 * 1024;

class CipherCheckpoints {
public:
    CipherCheckpoints() = default;
    ~CipherCheckpoints() { Clear(); }
    CipherCheckpoints(const CipherCheckpoints&) = delete;
    CipherCheckpoints& operator=(const CipherCheckpoints&) = delete;

    // The keys after another kCheckpointSpacing bytes of entry `entry` (its index in the
    // archive).
    void Add(size_t entry, const PkwareKeys& keys);
    // The keys after 1, 2, ... spacings of the entry's stored data; empty for none.
    std::span<const PkwareKeys> Of(size_t entry) const;
    void Clear();

private:
    std::vector<std::vector<PkwareKeys>> m_entries;
};

} // namespace lumora
