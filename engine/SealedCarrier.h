// SPDX-License-Identifier: GPL-2.0-or-later
// The carrier session's side of sealed carriers: unsealing one into the working folder,
// and the key derivations a sealed save needs, as typed statuses. crypt/SealedFormat does
// the cryptography; docs/FORMAT.md describes the bytes.
#pragma once

#include "crypt/SealedFormat.h"
#include "crypt/WovenKeys.h"
#include "engine/Outcome.h"

#include <functional>
#include <string>

namespace lumora {

enum class CarrierFormat {
    Classic, // the trailer format other programs read
    Sealed,  // Argon2id and XChaCha20-Poly1305; opens only in Lumora
    Woven,   // sealed as Sealed, and hidden inside the picture's own elements
};

// The key derivations of a save in the sealed or the woven format. They take their full
// time and memory and cannot be interrupted, so the desktop program makes them apart from
// the save, off its interface thread, and drops them when the user cancels.
struct SealedSaveKeys {
    SealedKey carrier; // fresh salt: the new sealed carrier's key
    SealedKey picture; // opens sealed data already behind a hide's picture; empty: none does
    // Fresh salt: the new woven carrier's keys. Its nonces are zero, so these keys seal one
    // content only: the first write of a woven save takes them, and leaves them empty.
    WovenKeys woven;
};

// Derives a fresh key for a new carrier under password and, when picture names a file
// without classic data, tries the password on sealed data behind it (a hide cuts such
// data off rather than keep it inside the new image part). Touches nothing but the
// picture, so it may run on any thread. Ok, NoMemoryForKey or Cancelled; cancelled is
// asked before and after each derivation.
Status DeriveSealedSaveKeys(const std::string& picture, const Password& password,
                            SealedSaveKeys& keys, const CancelCheck& cancelled = {});

// Hears the steps of an unsealing; false cancels it.
using StepReport = std::function<bool(ProgressStep step, int64_t done, int64_t total)>;

// Derives fresh keys for a new woven carrier under password into keys.woven. A woven save
// needs no key for data behind its picture: the weave carries over the picture's own data
// alone. Ok, NoMemoryForKey or Cancelled, asked before and after the derivation.
Status DeriveWovenSaveKeys(const Password& password, SealedSaveKeys& keys,
                           const CancelCheck& cancelled = {});

// Opens the sealed carrier of size bytes read through fd, with key when it is already
// known (no derivation), else by deriving one from password (reported as one DerivingKey
// step without a measure), and writes its archive to archivePath. The archive is complete
// and authentic only on Ok; on any failure archivePath is removed. SealedNotOpened for no
// sealed data or a password that does not open it (the two cannot be told apart),
// NoMemoryForKey, Damaged, Cancelled, ReadFailed, WriteFailed or DiskFull.
Status UnsealCarrier(int fd, int64_t size, const Password& password, const SealedKey* key,
                     const std::string& archivePath, SealedHeader& header,
                     const StepReport& report);

// Whether a file of this size, without classic data, is worth trying as sealed: large
// enough for the smallest sealed carrier and below the size limit of carriers.
bool SealedSizeFits(int64_t size);

} // namespace lumora
