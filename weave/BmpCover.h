// SPDX-License-Identifier: GPL-2.0-or-later
// A BMP as a cover: 24- or 32-bit pixels, uncompressed (BI_RGB, or BI_BITFIELDS with the
// standard masks 0xFF0000, 0xFF00, 0xFF), rows bottom-up or top-down. Elements and their
// order as in PixelCover.h: the blue, green and red bytes of each pixel, never the fourth
// byte of a 32-bit pixel. Writing changes those bytes in a copy of the file; every other
// byte (headers, row padding, anything after the pixels) stays as it was.
#pragma once

#include "weave/PixelCover.h"

#include <memory>

namespace lumora {

class BmpCover final : public PixelCover {
public:
    // Refused: palette pictures (8 bits or fewer), 16- and 64-bit pixels, compression or
    // other masks, the old 12-byte header, files larger than `mostBytes`.
    static CoverStatus Read(const ByteSource& source, std::unique_ptr<BmpCover>& cover,
                            uint64_t mostBytes = kMostCoverBytes);

    PictureKind Kind() const override { return PictureKind::Bmp; }
    CoverStatus Write(std::vector<uint8_t>& out) const override;
    CoverStatus Write(FILE* out) const override;

private:
    BmpCover() = default;
    std::vector<uint8_t> m_file;
};

} // namespace lumora
