// SPDX-License-Identifier: GPL-2.0-or-later
// The chunks of a PNG file, from the signature to IEND.
#pragma once

#include "picture/ByteSource.h"
#include "picture/PictureEnd.h"

#include <cstdint>
#include <functional>

namespace lumora {

constexpr uint64_t kPngSignatureBytes = 8;

// A chunk type's four letters as one big-endian number ('IHDR' is 0x49484452).
constexpr uint32_t PngChunkType(const char (&name)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(name[0])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(name[1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(name[2])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(name[3]));
}

struct PngChunk {
    uint32_t type = 0;
    uint64_t offset = 0; // of its length field
    uint32_t length = 0; // of its data; the whole chunk is length + 12 bytes
};

// Walks the chunks after the signature, handing each to `visit` in order (IEND too). The
// first must be IHDR with 13 bytes of data. The end is the byte after IEND's CRC; a file
// that stops first is Truncated; a length above 2^31 - 1 or a type that is not four
// letters is Malformed. CRCs are not checked.
PictureEnd WalkPng(const ByteSource& source,
                   const std::function<void(const PngChunk&)>& visit = nullptr);

} // namespace lumora
