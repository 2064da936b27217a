// SPDX-License-Identifier: GPL-2.0-or-later
// A picture seen as a list of cover elements: the numbers that woven data may change by
// one step. For a JPEG they are the quantized AC coefficients (JpegCover.h), for a PNG or
// BMP the 8-bit colour samples (PixelCover.h); each kind documents its element order,
// which is fixed. A cover is read once, changed element by element and written back as a
// picture of the same kind that keeps everything but the changed elements.
#pragma once

#include "picture/ByteSource.h"
#include "picture/PictureKind.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace lumora {

enum class CoverStatus : uint8_t {
    Ok,
    ReadFailed,        // reading the source failed (errno)
    WriteFailed,       // writing the picture failed (errno where the system gave one)
    NoMemory,          // the picture's library ran out of memory
    NotSupported,      // a kind of file that cannot carry woven data (GIF, TIFF, not a picture)
    Damaged,           // its library fails on it, or reads it only by guessing at broken data
    TooLarge,          // more element data than the reader was allowed to hold
    ArithmeticCoding,  // a JPEG with arithmetic instead of Huffman coding
    NotEightBit,       // 12-bit JPEG; PNG samples of 16 bits or fewer than 8; 16- or 64-bit BMP
    CmykColour,        // a JPEG of four components (CMYK or YCCK)
    Palette,           // colours from a palette (PNG colour type 3, BMP of 8 bits or fewer)
    Animated,          // an animated PNG (acTL)
    ReducedPrecision,  // a PNG whose sBIT says a channel has fewer than 8 significant bits
    UnsupportedLayout, // a JPEG of 2 components; a compressed BMP, or one with unusual masks
};

// The most element data (coefficients or samples, in bytes) a cover holds in memory unless
// its reader is given another bound.
constexpr uint64_t kMostCoverBytes = uint64_t{1} << 30;

// Which one-step changes an element may take from its current value.
struct Steps {
    bool down = false;
    bool up = false;
    bool Any() const { return down || up; }
};

class CoverImage {
public:
    virtual ~CoverImage() = default;
    CoverImage() = default;
    CoverImage(const CoverImage&) = delete;
    CoverImage& operator=(const CoverImage&) = delete;

    virtual PictureKind Kind() const = 0;
    // Elements are numbered 0 to ElementCount() - 1 in the kind's documented order.
    virtual uint64_t ElementCount() const = 0;
    // Elements that woven data may use; the rest are never changed. Reading the changed
    // picture again gives the same usable elements.
    virtual uint64_t UsableCount() const = 0;
    virtual bool Usable(uint64_t index) const = 0;
    // The element's current value; 0 for an index out of range.
    virtual int Value(uint64_t index) const = 0;
    // The steps `Change` accepts for the element now; none for an index out of range or an
    // element that is not usable.
    virtual Steps AllowedSteps(uint64_t index) const = 0;
    // Moves the element by `step` (+1 or -1). False, and nothing changed, when AllowedSteps
    // does not allow it.
    virtual bool Change(uint64_t index, int step) = 0;
    // The picture with its current elements, in memory (replacing `out`) or onto a stream.
    virtual CoverStatus Write(std::vector<uint8_t>& out) const = 0;
    virtual CoverStatus Write(FILE* out) const = 0;
};

struct CoverRead {
    CoverStatus status = CoverStatus::NotSupported;
    std::unique_ptr<CoverImage> cover; // set when Ok
};

// Reads the picture in `source` as a cover: a JPEG, PNG or BMP as its header says. More
// than `mostBytes` of element data (a BMP: of file) is TooLarge.
CoverRead ReadCover(const ByteSource& source, uint64_t mostBytes = kMostCoverBytes);

// Writes all of `bytes` to `out` and flushes it: WriteFailed (errno set) when it cannot.
CoverStatus WriteBytes(FILE* out, const std::vector<uint8_t>& bytes);

} // namespace lumora
