// SPDX-License-Identifier: GPL-2.0-or-later
// Small pictures of every kind, assembled byte by byte, with the size of the picture
// itself known from how it was built.
#pragma once

#include "support/ByteWriter.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::test {

std::vector<uint8_t> SampleJpeg(); // two scans, restart markers, stuffed bytes
std::vector<uint8_t> SamplePng();  // IHDR, tEXt holding "IEND", two IDAT, IEND
std::vector<uint8_t> SampleGif();  // colour tables, a comment holding 0x3B
std::vector<uint8_t> SampleBmp(uint32_t fileSizeField, bool topDown); // 2 x 2, 24-bit: 70 bytes
std::vector<uint8_t> SampleWebP(uint32_t payload);                    // 20 + payload, padded
std::vector<uint8_t> SampleTiff(bool bigEndian); // strip at the end; EXIF directory
std::vector<uint8_t> SampleIco();                // two images
std::vector<uint8_t> SampleWmf(bool placeable);
std::vector<uint8_t> SampleEmf();

// `bytes` with `extra` appended.
std::vector<uint8_t> Joined(std::vector<uint8_t> bytes, std::string_view extra);

} // namespace lumora::test
