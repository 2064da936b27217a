// SPDX-License-Identifier: GPL-2.0-or-later
// Small pictures of every kind, assembled byte by byte, with the size of the picture
// itself known from how it was built.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::test {

// Bytes appended in little- or big-endian order.
struct ByteWriter {
    std::vector<uint8_t> bytes;
    ByteWriter& Text(std::string_view text);
    ByteWriter& U8(unsigned value);
    ByteWriter& Le16(unsigned value);
    ByteWriter& Le32(uint32_t value);
    ByteWriter& Be16(unsigned value);
    ByteWriter& Be32(uint32_t value);
    ByteWriter& Fill(size_t count, uint8_t value);
};

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
