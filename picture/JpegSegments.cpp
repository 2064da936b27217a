// SPDX-License-Identifier: GPL-2.0-or-later
#include "picture/JpegSegments.h"

#include <utility>

namespace lumora {
namespace {

bool IsRestart(uint8_t marker) {
    return marker >= jpeg_marker::kRst0 && marker <= jpeg_marker::kRst7;
}

// Runs through entropy-coded data up to the marker that ends it; the marker byte (after
// any fill bytes), or nothing where the source ends or fails first.
std::optional<uint8_t> SkipEntropyData(ByteCursor& cursor) {
    while (cursor.SkipTo(0xFF)) {
        cursor.Skip(1);
        std::optional<uint8_t> next = cursor.Next();
        while (next == 0xFF)
            next = cursor.Next();
        if (!next)
            return std::nullopt;
        if (*next != 0x00 && !IsRestart(*next))
            return next;
    }
    return std::nullopt;
}

} // namespace

PictureEnd WalkJpeg(const ByteSource& source,
                    const std::function<void(const JpegSegment&)>& visit) {
    const auto report = [&](uint8_t marker, uint64_t offset, uint16_t length) {
        if (visit)
            visit(JpegSegment{marker, offset, length});
    };
    const std::optional<uint16_t> start = source.Be16At(0);
    if (!start)
        return PictureEnd::FromShortRead();
    if (*start != 0xFF00 + jpeg_marker::kSoi)
        return PictureEnd::With(EndStatus::Malformed);
    report(jpeg_marker::kSoi, 0, 0);
    ByteCursor cursor(source, 2);
    int pending = -1; // a marker already read by the entropy-data scan
    while (true) {
        std::optional<uint8_t> marker;
        if (pending >= 0) {
            marker = static_cast<uint8_t>(std::exchange(pending, -1));
        } else {
            const std::optional<uint8_t> first = cursor.Next();
            if (!first)
                return PictureEnd::FromShortRead();
            if (*first != 0xFF)
                return PictureEnd::With(EndStatus::Malformed);
            do
                marker = cursor.Next();
            while (marker == 0xFF);
            if (!marker)
                return PictureEnd::FromShortRead();
        }
        const uint64_t offset = cursor.Position() - 2;
        if (*marker == 0x00 || *marker == jpeg_marker::kSoi)
            return PictureEnd::With(EndStatus::Malformed);
        if (*marker == jpeg_marker::kEoi) {
            report(*marker, offset, 0);
            return PictureEnd::At(cursor.Position());
        }
        if (IsRestart(*marker) || *marker == jpeg_marker::kTem) {
            report(*marker, offset, 0);
            continue;
        }
        const std::optional<uint16_t> length = source.Be16At(cursor.Position());
        if (!length)
            return PictureEnd::FromShortRead();
        if (*length < 2)
            return PictureEnd::With(EndStatus::Malformed);
        if (cursor.Position() + *length > source.Size())
            return PictureEnd::With(EndStatus::Truncated);
        report(*marker, offset, *length);
        cursor.Skip(*length);
        if (*marker == jpeg_marker::kSos) {
            const std::optional<uint8_t> next = SkipEntropyData(cursor);
            if (!next)
                return PictureEnd::FromShortRead();
            pending = *next;
        }
    }
}

} // namespace lumora
