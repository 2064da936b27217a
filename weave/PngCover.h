// SPDX-License-Identifier: GPL-2.0-or-later
// A PNG as a cover: 8-bit greyscale, greyscale and alpha, RGB or RGBA samples, interlaced
// or not. Elements, their order and which of them are usable as in PixelCover.h (alpha is
// never an element; fully transparent pixels and those at or next to the tRNS colour are
// left out). Writing copies every chunk but IDAT byte for byte, in its place and order,
// keeps bit depth, colour type and interlacing, and writes new IDAT data only.
#pragma once

#include "platform/HugePageAllocator.h"
#include "weave/PixelCover.h"

#include <functional>
#include <memory>

namespace lumora {

class PngCover final : public PixelCover {
public:
    // Refused: palette pictures, animated PNG (acTL), samples of 16 bits or fewer than 8,
    // sBIT below 8 for any channel, IDAT chunks that do not follow one another, and
    // whatever libpng fails on; samples of more than `mostBytes`.
    static CoverStatus Read(const ByteSource& source, std::unique_ptr<PngCover>& cover,
                            uint64_t mostBytes = kMostCoverBytes);

    PictureKind Kind() const override { return PictureKind::Png; }
    bool Interlaced() const { return m_interlaced; }
    CoverStatus Write(std::vector<uint8_t>& out) const override;
    CoverStatus Write(FILE* out) const override;

private:
    struct Decoding;
    PngCover() = default;
    CoverStatus Load(const ByteSource& source, uint64_t mostBytes);
    // Encodes the samples and hands the new IDAT chunks to sink.
    CoverStatus Encode(const std::function<bool(const uint8_t*, size_t)>& sink) const;

    // rows from the top, samples interleaved as in the file
    std::vector<uint8_t, HugePageAllocator<uint8_t>> m_pixels;
    std::vector<uint8_t> m_before; // the file before its first IDAT chunk
    std::vector<uint8_t> m_after;  // the file after its last IDAT chunk, to the end of IEND
    int m_colourType = 0;
    bool m_interlaced = false;
};

} // namespace lumora
