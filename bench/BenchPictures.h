// SPDX-License-Identifier: GPL-2.0-or-later
// Pictures for the woven benchmarks: a photograph-like RGB picture made from fractal noise
// (strong low frequencies, soft edges, fine grain), and its JPEG and PNG files, encoded with
// libjpeg and libpng as a camera or an editor would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumora::bench {

struct RgbPicture {
    size_t width = 0;
    size_t height = 0;
    std::vector<uint8_t> samples; // rows from the top, red, green, blue
};

RgbPicture PhotoLikePicture(size_t width, size_t height, uint32_t seed);

// 4:2:0 baseline JPEG with the standard Huffman tables at this quality.
std::vector<uint8_t> EncodeJpeg(const RgbPicture& picture, int quality);
// An 8-bit RGB PNG (zlib's default level, libpng's default filters).
std::vector<uint8_t> EncodePng(const RgbPicture& picture);

} // namespace lumora::bench
