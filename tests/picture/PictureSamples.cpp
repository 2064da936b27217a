// SPDX-License-Identifier: GPL-2.0-or-later
#include "PictureSamples.h"

namespace lumora::test {

using namespace std::string_view_literals;

std::vector<uint8_t> Joined(std::vector<uint8_t> bytes, std::string_view extra) {
    bytes.insert(bytes.end(), extra.begin(), extra.end());
    return bytes;
}

std::vector<uint8_t> SampleJpeg() {
    ByteWriter w;
    w.Be16(0xFFD8);
    // An APP1 segment holding a whole thumbnail, end marker included.
    w.Be16(0xFFE1).Be16(2 + 8).Text("Exif\xFF\xD8\xFF\xD9"sv);
    w.Be16(0xFFDB).Be16(67).U8(0).Fill(64, 1);
    w.Be16(0xFFC2).Be16(11).U8(8).Be16(16).Be16(16).U8(1).U8(1).U8(0x11).U8(0);
    w.Be16(0xFFDD).Be16(4).Be16(1);
    w.Be16(0xFFDA).Be16(8).U8(1).U8(1).U8(0).U8(0).U8(0).U8(0x01);
    w.Text("\x12\xFF").U8(0).Text("\x34\xFF\xD0\x56\xFF\xFF\xD1\x78");
    w.Be16(0xFFC4).Be16(2 + 17).U8(0x10).Fill(16, 0);
    w.Be16(0xFFDA).Be16(8).U8(1).U8(1).U8(0).U8(1).U8(63).U8(0);
    w.Text("\x9A\xFF").U8(0).U8(0xBC);
    w.Be16(0xFFD9);
    return w.bytes;
}

namespace {

ByteWriter& PngChunk(ByteWriter& w, std::string_view type, std::string_view data) {
    return w.Be32(static_cast<uint32_t>(data.size())).Text(type).Text(data).Be32(0);
}

} // namespace

std::vector<uint8_t> SamplePng() {
    ByteWriter w;
    w.Text("\x89PNG\r\n\x1A\n");
    PngChunk(w, "IHDR", std::string_view("\0\0\0\1\0\0\0\1\x08\0\0\0\0", 13));
    PngChunk(w, "tEXt", "Comment\0IEND\xAE\x42\x60\x82"sv);
    PngChunk(w, "IDAT", "xyz");
    PngChunk(w, "IDAT", "w");
    PngChunk(w, "IEND", "");
    return w.bytes;
}

std::vector<uint8_t> SampleGif() {
    ByteWriter w;
    w.Text("GIF89a").Le16(2).Le16(1).U8(0x80).U8(0).U8(0).Fill(6, 0x3B);
    w.U8(0x21).U8(0xFE).U8(3).Text(";;;").U8(0);
    w.U8(0x21).U8(0xF9).U8(4).Fill(4, 0).U8(0);
    w.U8(0x2C).Le16(0).Le16(0).Le16(2).Le16(1).U8(0x81).Fill(12, 0x3B);
    w.U8(2).U8(2).Text("\x3B\x3B").U8(0);
    w.U8(0x3B);
    return w.bytes;
}

std::vector<uint8_t> SampleBmp(uint32_t fileSizeField, bool topDown) {
    ByteWriter w;
    w.Text("BM").Le32(fileSizeField).Le32(0).Le32(54);
    w.Le32(40).Le32(2).Le32(topDown ? static_cast<uint32_t>(-2) : 2).Le16(1).Le16(24);
    w.Le32(0).Le32(0).Le32(2835).Le32(2835).Le32(0).Le32(0);
    w.Fill(16, 0x80);
    return w.bytes;
}

std::vector<uint8_t> SampleWebP(uint32_t payload) {
    ByteWriter w;
    w.Text("RIFF").Le32(4 + 8 + payload).Text("WEBPVP8L").Le32(payload).Fill(payload, 0x2F);
    if (payload % 2 != 0)
        w.U8(0);
    return w.bytes;
}

std::vector<uint8_t> SampleTiff(bool bigEndian) {
    // A first directory (width, a description, one strip, a pointer to an EXIF directory),
    // the EXIF directory with a value of its own, then the strip: the strip ends last.
    ByteWriter w;
    const auto u16 = [&](unsigned v) { bigEndian ? w.Be16(v) : w.Le16(v); };
    const auto u32 = [&](uint32_t v) { bigEndian ? w.Be32(v) : w.Le32(v); };
    const auto entry = [&](unsigned tag, unsigned type, uint32_t count, uint32_t value) {
        u16(tag);
        u16(type);
        u32(count);
        if (type == 3 && count == 1) {
            u16(value);
            u16(0);
        } else {
            u32(value);
        }
    };
    w.Text(bigEndian ? "MM" : "II");
    u16(42);
    u32(8);
    u16(5); // 8..74
    entry(256, 3, 1, 2);
    entry(270, 2, 10, 74);
    entry(273, 4, 1, 108);
    entry(279, 3, 1, 20);
    entry(34665, 4, 1, 84);
    u32(0);
    w.Text("A picture").U8(0); // 74..84
    u16(1);                    // 84..102: the EXIF directory
    entry(37510, 7, 6, 102);
    u32(0);
    w.Text("ASCII").U8(0); // 102..108
    w.Fill(20, 0x55);      // 108..128: the strip
    return w.bytes;
}

std::vector<uint8_t> SampleIco() {
    ByteWriter w;
    w.Le16(0).Le16(1).Le16(2);
    w.U8(16).U8(16).U8(0).U8(0).Le16(1).Le16(32).Le32(40).Le32(78); // 78..118: the last
    w.U8(32).U8(32).U8(0).U8(0).Le16(1).Le16(32).Le32(40).Le32(38); // 38..78
    w.Fill(80, 0x11);
    return w.bytes;
}

std::vector<uint8_t> SampleWmf(bool placeable) {
    ByteWriter w;
    if (placeable)
        w.Le32(0x9AC6CDD7).Le16(0).Le16(0).Le16(0).Le16(100).Le16(100).Le16(1440).Le32(0).Le16(0);
    // A header of 9 words and the 3-word end record: 12 words.
    w.Le16(1).Le16(9).Le16(0x0300).Le32(12).Le16(0).Le32(3).Le16(0);
    w.Le32(3).Le16(0);
    return w.bytes;
}

std::vector<uint8_t> SampleEmf() {
    ByteWriter w;
    w.Le32(1).Le32(88).Fill(32, 0).Text(" EMF").Le32(0x10000).Le32(88 + 20).Fill(36, 0);
    w.Le32(14).Le32(20).Fill(12, 0); // the end-of-file record
    return w.bytes;
}

} // namespace lumora::test
