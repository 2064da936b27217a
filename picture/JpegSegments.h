// SPDX-License-Identifier: GPL-2.0-or-later
// The marker segments of a JPEG stream, from its start-of-image marker to its end marker.
#pragma once

#include "picture/ByteSource.h"
#include "picture/PictureEnd.h"

#include <cstdint>
#include <functional>

namespace lumora {

// Markers by the byte that follows 0xFF.
namespace jpeg_marker {
constexpr uint8_t kSoi = 0xD8;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kRst0 = 0xD0;
constexpr uint8_t kRst7 = 0xD7;
constexpr uint8_t kTem = 0x01;
} // namespace jpeg_marker

struct JpegSegment {
    uint8_t marker = 0;  // the byte after 0xFF
    uint64_t offset = 0; // of that 0xFF
    // The segment's length field (which counts its own two bytes); 0 for a marker without
    // one (SOI, EOI, RSTn, TEM). Its contents are the length - 2 bytes at offset + 4.
    uint16_t length = 0;
};

// Walks the segments from SOI, skipping each one's contents by its length and, after a
// start of scan, the entropy-coded data (stuffed 0xFF 0x00 bytes, restart markers and fill
// bytes belong to them). `visit` sees every segment in order, SOI and EOI included, but no
// restart marker inside entropy-coded data. The end is the byte after EOI; a stream that
// stops before EOI is Truncated, one with bytes between segments or a second SOI is
// Malformed.
PictureEnd WalkJpeg(const ByteSource& source,
                    const std::function<void(const JpegSegment&)>& visit = nullptr);

} // namespace lumora
