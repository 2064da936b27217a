// SPDX-License-Identifier: GPL-2.0-or-later
// Where a picture's own data end: the first byte after them, found by following the
// picture's structure from its start (never by searching for a marker), with bounded work
// whatever the header claims.
#pragma once

#include "picture/ByteSource.h"
#include "picture/PictureKind.h"

#include <cstdint>

namespace lumora {

enum class EndStatus : uint8_t {
    Found,      // `end` is the first byte after the picture
    Truncated,  // the file ends inside the picture
    Malformed,  // the structure contradicts itself: a length too small, a loop, an absurd count
    Unknown,    // this kind (or this variant of it) has no end that can be told
    NotPicture, // the kind is not one of the pictures Lumora reads
    ReadFailed, // reading the source failed; `error` holds errno
};

struct PictureEnd {
    EndStatus status = EndStatus::Unknown;
    uint64_t end = 0; // set when Found; at most the source's size
    int error = 0;

    static PictureEnd At(uint64_t end) { return {EndStatus::Found, end, 0}; }
    static PictureEnd With(EndStatus status) { return {status, 0, 0}; }
    // After a read that came short: Truncated when errno is 0 (the source ended), else
    // ReadFailed with errno.
    static PictureEnd FromShortRead();
};

// Where the picture of `kind` in `source` ends.
PictureEnd FindPictureEnd(const ByteSource& source, PictureKind kind);

// The kind and the end of the picture in a source.
struct PictureLayout {
    PictureKind kind = PictureKind::Unknown;
    PictureEnd end;
    uint64_t size = 0; // of the whole source
    // True when the picture ends before the source does: bytes follow it.
    bool HasTrailingBytes() const { return end.status == EndStatus::Found && end.end < size; }
};
PictureLayout InspectPicture(const ByteSource& source);

} // namespace lumora
