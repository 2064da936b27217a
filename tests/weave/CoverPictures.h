// SPDX-License-Identifier: GPL-2.0-or-later
// Pictures made with libjpeg and libpng for the cover tests, and what those libraries read
// back from a picture, independently of the cover classes.
#pragma once

#include "weave/CoverImage.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace lumora::test {

using Bytes = std::vector<uint8_t>;

struct JpegRecipe {
    int components = 3; // 1, 3, or 4 for CMYK
    bool subsampled = true;
    bool progressive = false;
    bool lowBitsUnsent = false; // with progressive: no refinement scans, AC bit 0 never sent
    bool optimized = false;     // Huffman tables of its own rather than the standard ones
    bool arithmetic = false;
    bool markers = false; // EXIF APP1, ICC APP2 and a comment
    unsigned restartInterval = 0;
    int width = 45, height = 37; // partial blocks and MCUs at the right and bottom
};
Bytes MakeJpeg(const JpegRecipe& recipe);

// What libjpeg reads from a JPEG: the AC coefficients in the covers' element order, and
// what a rewrite must keep. Each marker is its code followed by its contents.
struct JpegFacts {
    std::vector<int> ac;
    std::vector<std::array<uint16_t, 64>> quant;
    std::vector<int> sampling; // h * 16 + v per component
    unsigned restartInterval = 0;
    bool progressive = false;
    std::vector<std::string> markers;
    int decodeWarnings = -1; // of a full decompression; -1 when libjpeg failed
};
JpegFacts ReadJpegFacts(const Bytes& jpeg);
// The picture decompressed, its first `cropLeft` columns and `cropTop` rows cut off, and
// compressed again at `quality`, as an editor or a messenger would.
Bytes RecompressJpeg(const Bytes& jpeg, int quality, int cropLeft = 0, int cropTop = 0);

struct PngRecipe {
    int colourType = 2; // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    bool transparentColour = false; // tRNS grey 100 or RGB (100, 100, 100)
    bool lowSignificantBits = false;
    bool animated = false;
    // One row of these pixels (channels, then alpha), or when empty width x height pixels
    // around the tRNS colour, some fully transparent where there is alpha.
    std::vector<std::vector<int>> pixels = {};
    int width = 12, height = 9;
    // When not 0, samples of noise that repeats every `texture` pixels along a row, and
    // with sameRows, in every row the same.
    int texture = 0;
    bool sameRows = false;
};
// With gAMA and tEXt chunks before the IDAT and a tEXt chunk after it.
Bytes MakePng(const PngRecipe& recipe);
// libpng's samples of an 8-bit PNG, rows from the top, interleaved.
Bytes DecodePng(const Bytes& png);
// Every chunk but IDAT, whole.
std::vector<Bytes> ChunksBesidesIdat(const Bytes& png);

// A 3 x 2 (or width x height) BMP of `bits` per pixel (row padding for 24, a fourth byte
// for 32), bottom-up unless `topDown`; for bitfields (compression 3) the masks red, 0xFF00,
// 0xFF follow the header.
Bytes MakeBmp(unsigned bits, bool topDown, uint32_t compression = 0, uint32_t red = 0xFF0000,
              uint32_t width = 3, uint32_t height = 2);

// Reads `bytes` as a cover, which must succeed.
std::unique_ptr<CoverImage> MustRead(const Bytes& bytes);
// Changes every `stride`-th element (none for 0) by a step it allows, down where it may;
// the values of all elements afterwards.
std::vector<int> ChangeEvery(CoverImage& cover, uint64_t stride);

} // namespace lumora::test
