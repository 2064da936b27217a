// SPDX-License-Identifier: GPL-2.0-or-later
// Woven carriers for the carrier session: the payload archive sealed and hidden inside a
// picture's own elements (JPEG coefficients, PNG or BMP samples), and read back out. The
// picture that comes out is an ordinary one of the same kind, with nothing after its end.
// crypt/ holds the keys, the embedding order and the seals, weave/ the picture elements,
// their costs and the coder; docs/FORMAT.md describes every bit. Nothing here shows
// anything: every function returns a WovenOutcome with the figures a caller words its own
// message from.
#pragma once

#include "crypt/SecretBytes.h"
#include "crypt/WovenKeys.h"
#include "crypt/WovenSeal.h"
#include "engine/SealedCarrier.h"
#include "picture/ByteSource.h"
#include "picture/PictureKind.h"
#include "weave/CoverImage.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <variant>
#include <vector>

namespace lumora {

enum class WovenOutcome : uint8_t {
    Ok,
    // No woven data, or the password does not open it: one outcome by design, since the two
    // cannot be told apart without the password. Also a picture too small to hold any.
    NotOpened,
    // The header opened, but the body does not authenticate.
    Damaged,
    // A key derivation, or the work itself, could not get its memory.
    NoMemory,
    Cancelled,
    // The picture could not be read (`error` holds errno).
    ReadFailed,
    // The new picture could not be written (`error` holds errno where the system gave one).
    WriteFailed,
    // The picture cannot carry woven data: `cover` says why (a GIF, a palette PNG, 16-bit
    // samples, arithmetic coding, CMYK, 12-bit, a picture its library reads only as damaged).
    Refused,
    // The picture has too few elements for woven data (or more than 2^32 - 1).
    TooSmall,
    // The content is larger than the picture's capacity; WeaveOptions::force writes it anyway.
    OverCapacity,
    // The content is larger than the coder can carry in this picture at all.
    OverLimit,
    // The elements the picture does not let change leave no way to carry the content (a very
    // flat picture, or a forced payload close to the limit).
    NoWay,
};

// What a picture can carry.
struct WovenSize {
    uint64_t elements = 0;      // usable elements: the positions of the embedding order
    uint64_t ceilingCount = 0;  // non-zero AC coefficients (JPEG), usable samples (PNG, BMP)
    uint64_t capacityBytes = 0; // the largest archive under the ceiling
    uint64_t limitBytes = 0;    // the largest archive the coder can carry at all
};

struct WovenCapacityResult {
    WovenOutcome outcome = WovenOutcome::Ok; // Ok, Refused, TooSmall, ReadFailed or NoMemory
    CoverStatus cover = CoverStatus::Ok;     // the reason of Refused
    PictureKind kind = PictureKind::Unknown;
    WovenSize size; // elements and ceilingCount are set for TooSmall too
    int error = 0;
};

// What the picture in source can carry woven, without a password or a key derivation.
WovenCapacityResult WovenCapacity(const ByteSource& source);

// Where a new picture goes: a stream (written and flushed; on failure the caller removes
// what was written) or memory (replaced).
using WovenDestination = std::variant<FILE*, std::vector<uint8_t>*>;

struct WeaveOptions {
    bool force = false; // carry content above the capacity (never above the limit)
    // DerivingKey once, without a measure, when keys are derived; then Encrypting with the
    // order indices embedded of the picture's elements, once per segment of the coder. False
    // cancels, between segments (a derivation itself cannot be interrupted).
    StepReport report;
    // Where a Weave under a password leaves the keys it derived, on Ok: the read-back of
    // what was written opens it under them without a second derivation. Borrowed.
    WovenKeys* madeKeys = nullptr;
};

struct WeaveResult {
    WovenOutcome outcome = WovenOutcome::Ok;
    CoverStatus cover = CoverStatus::Ok; // the reason of Refused
    PictureKind kind = PictureKind::Unknown;
    WovenSize size;
    uint64_t contentBytes = 0; // the archive's length, for OverCapacity and OverLimit
    uint64_t changes = 0;      // elements changed, on Ok
    int error = 0;
};

// Hides archive (the payload archive) in the picture in source and writes the new picture
// to out. The picture's own data are the cover; bytes after its end are not carried over.
// Checks the sizes before any key derivation: OverLimit, or OverCapacity unless forced.
// With a password, a new salt is drawn and the keys derived (NoMemory when the derivation
// cannot get its memory). With keys, they must be new ones (NewWovenKeys) made for this
// one write: one salt, one write, since the nonces are zero. Ok, NotOpened never;
// otherwise the outcome.
WeaveResult Weave(const ByteSource& source, std::span<const uint8_t> archive,
                  const Password& password, WovenDestination out, const WeaveOptions& options = {});
WeaveResult Weave(const ByteSource& source, std::span<const uint8_t> archive, const WovenKeys& keys,
                  WovenDestination out, const WeaveOptions& options = {});

struct UnweaveResult {
    WovenOutcome outcome = WovenOutcome::Ok;
    CoverStatus cover = CoverStatus::Ok; // the reason of Refused
    PictureKind kind = PictureKind::Unknown;
    SecretBytes archive; // the payload archive, on Ok only: complete and authentic
    WovenKeys keys;      // the keys that opened the header (Ok and Damaged)
    WovenHeader header;  // the opened header (Ok and Damaged)
    int error = 0;
};

// Reads the archive woven into the picture in source. With a password, keys are derived
// with every known format, newest first, until the header opens (one DerivingKey step
// each); with keys, they must be the picture's (its salt), else NotOpened. report then
// hears Decrypting with the elements read; false cancels between runs of them. Ok,
// NotOpened, Damaged, NoMemory, Cancelled, ReadFailed, or Refused for a picture that can
// hold no woven data at all (its kind, or its library reads it only as damaged).
UnweaveResult Unweave(const ByteSource& source, const Password& password,
                      const StepReport& report = {});
UnweaveResult Unweave(const ByteSource& source, const WovenKeys& keys,
                      const StepReport& report = {});

} // namespace lumora
