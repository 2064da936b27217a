// SPDX-License-Identifier: GPL-2.0-or-later
// Sealing of woven carriers. The header (format id, flags, the archive's length) is sealed
// with XChaCha20-Poly1305 under the header key with the salt as associated data; the body
// (the payload archive) under the body key, bound to the salt and the sealed header. Keys
// are new with every salt, so both nonces are zero. Without the password the sealed bytes
// cannot be told from random ones, and nothing else marks a carrier. docs/FORMAT.md
// describes every byte.
//
// Bits are carried in the order of the bytes, least significant bit of each byte first.
#pragma once

#include "crypt/SealedFormat.h"
#include "crypt/SealedKey.h"
#include "crypt/SecretBytes.h"
#include "crypt/WovenKeys.h"
#include "crypt/WovenLayout.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace lumora {

using SealedWovenHeader = std::array<uint8_t, kWovenSealedHeaderSize>;

struct WovenHeader {
    uint32_t formatId = 0;
    uint32_t flags = 0; // no flag is defined yet; written as 0
    uint64_t archiveLength = 0;
};

// The sealed header for an archive of archiveLength bytes under keys' format into sealed: Ok;
// TooLarge when the archive is longer than layout's limitBytes (or the picture too small);
// WriteFailed when keys is empty.
SealedOutcome SealWovenHeader(const WovenKeys& keys, const WovenLayout& layout,
                              uint64_t archiveLength, SealedWovenHeader& sealed);

// Ok fills header; NotOpened when sealed does not open under keys; Damaged when it opens but
// names another format or an archive longer than layout's limitBytes.
SealedOutcome OpenWovenHeader(const WovenKeys& keys, const SealedWovenHeader& sealed,
                              const WovenLayout& layout, WovenHeader& header);

// The sealed body (size + kWovenTagSize bytes) into body: Ok, NoMemory, or WriteFailed when
// keys is empty.
SealedOutcome SealWovenBody(const WovenKeys& keys, const SealedWovenHeader& sealedHeader,
                            const uint8_t* archive, size_t size, std::vector<uint8_t>& body);

// The archive of a sealed body into archive: Ok, Damaged when the body does not
// authenticate, NoMemory. archive is replaced only on Ok.
SealedOutcome OpenWovenBody(const WovenKeys& keys, const SealedWovenHeader& sealedHeader,
                            const uint8_t* body, size_t size, SecretBytes& archive);

// Gives the sealed header as the header region carries it under keys' positions; false when
// it cannot be read (the unlock then ends with ReadFailed).
using WovenHeaderReader = std::function<bool(const WovenKeys& keys, SealedWovenHeader& sealed)>;

// Derives keys from password and salt with every known format, newest first, until the header
// that read gives opens. Ok fills keys and header; NotOpened when none opens it (also at once
// for a picture too small); otherwise the outcome of the derivation or of OpenWovenHeader.
// cancelled is asked before and after each derivation, which itself cannot be interrupted.
SealedOutcome UnlockWoven(const Password& password, const WovenSalt& salt,
                          const WovenLayout& layout, const WovenHeaderReader& read, WovenKeys& keys,
                          WovenHeader& header, const CancelCheck& cancelled = {});

// size bytes as the 8 * size bits that carry them, one byte of 0 or 1 each, and back: count
// bits (only the lowest bit of each counts) into count / 8 bytes.
void UnpackWovenBits(const uint8_t* bytes, size_t size, uint8_t* bits);
void PackWovenBits(const uint8_t* bits, size_t count, uint8_t* bytes);

} // namespace lumora
