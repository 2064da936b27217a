// SPDX-License-Identifier: GPL-2.0-or-later
#include "picture/KindEnds.h"

#include <algorithm>
#include <vector>

namespace lumora {
namespace {

// The end `end` claims: Found when the source holds it, else Truncated.
PictureEnd EndWithin(const ByteSource& source, uint64_t end) {
    return end <= source.Size() ? PictureEnd::At(end) : PictureEnd::With(EndStatus::Truncated);
}

// Skips a GIF colour table when the packed field says there is one: 3 * 2^(n + 1) bytes.
void SkipColourTable(ByteCursor& cursor, uint8_t packed) {
    if ((packed & 0x80) != 0)
        cursor.Skip(3u << ((packed & 0x07) + 1));
}

// Skips GIF data sub-blocks (a size byte, then that many bytes) up to the empty one; false
// when the source ends or fails first.
bool SkipSubBlocks(ByteCursor& cursor) {
    while (true) {
        const std::optional<uint8_t> size = cursor.Next();
        if (!size)
            return false;
        if (*size == 0)
            return true;
        cursor.Skip(*size);
    }
}

// Bytes of uncompressed pixel rows, each padded to 4 bytes; nothing when absurd.
std::optional<uint64_t> BmpRowsBytes(uint64_t width, uint64_t height, uint64_t bitsPerPixel) {
    const uint64_t rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
    uint64_t total = 0;
    if (__builtin_mul_overflow(rowBytes, height, &total))
        return std::nullopt;
    return total;
}

struct BmpHeader {
    uint64_t width = 0;
    uint64_t height = 0;
    uint32_t bitsPerPixel = 0;
    uint32_t compression = 0;
    uint32_t imageBytes = 0; // as the header states it; 0 for "compute it"
};

constexpr uint32_t kBmpFileHeaderBytes = 14;
constexpr uint32_t kBmpCoreHeaderBytes = 12;
constexpr uint32_t kBmpV5HeaderBytes = 124;
constexpr uint32_t kBmpEmbeddedProfile = 0x4D424544; // 'MBED'

std::optional<BmpHeader> ReadBmpHeader(const ByteSource& source, uint32_t headerBytes) {
    BmpHeader header;
    if (headerBytes == kBmpCoreHeaderBytes) {
        const auto width = source.Le16At(18), height = source.Le16At(20);
        const auto bits = source.Le16At(24);
        if (!width || !height || !bits)
            return std::nullopt;
        header.width = *width;
        header.height = *height;
        header.bitsPerPixel = *bits;
        return header;
    }
    const auto width = source.Le32At(18), height = source.Le32At(22);
    const auto bits = source.Le16At(28);
    const auto compression = source.Le32At(30), imageBytes = source.Le32At(34);
    if (!width || !height || !bits || !compression || !imageBytes)
        return std::nullopt;
    const auto magnitude = [](uint32_t value) {
        const int64_t signedValue = static_cast<int32_t>(value);
        return static_cast<uint64_t>(signedValue < 0 ? -signedValue : signedValue);
    };
    header.width = magnitude(*width);
    header.height = magnitude(*height);
    header.bitsPerPixel = *bits;
    header.compression = *compression;
    header.imageBytes = *imageBytes;
    return header;
}

// Where the pixel data end by the header: rows for uncompressed pictures, the stated size
// for compressed ones.
std::optional<uint64_t> BmpPixelBytes(const BmpHeader& header) {
    constexpr uint32_t kRgb = 0, kBitfields = 3, kAlphaBitfields = 6;
    if (header.compression == kRgb || header.compression == kBitfields ||
        header.compression == kAlphaBitfields) {
        if (header.bitsPerPixel == 0 || header.bitsPerPixel > 64)
            return std::nullopt;
        return BmpRowsBytes(header.width, header.height, header.bitsPerPixel);
    }
    if (header.imageBytes == 0)
        return std::nullopt;
    return header.imageBytes;
}

} // namespace

PictureEnd GifEnd(const ByteSource& source) {
    constexpr uint8_t kImage = 0x2C, kExtension = 0x21, kTrailer = 0x3B;
    const std::optional<uint8_t> screenPacked = source.U8At(10);
    if (!screenPacked)
        return PictureEnd::FromShortRead();
    ByteCursor cursor(source, 13);
    SkipColourTable(cursor, *screenPacked);
    while (true) {
        const std::optional<uint8_t> block = cursor.Next();
        if (!block)
            return PictureEnd::FromShortRead();
        if (*block == kTrailer)
            return PictureEnd::At(cursor.Position());
        if (*block == kImage) {
            const std::optional<uint8_t> packed = source.U8At(cursor.Position() + 8);
            if (!packed)
                return PictureEnd::FromShortRead();
            cursor.Skip(9);
            SkipColourTable(cursor, *packed);
            cursor.Skip(1); // the LZW code size
        } else if (*block == kExtension) {
            cursor.Skip(1); // the label
        } else {
            return PictureEnd::With(EndStatus::Malformed);
        }
        if (!SkipSubBlocks(cursor))
            return PictureEnd::FromShortRead();
    }
}

// The larger of the pixel data's end (and an embedded colour profile's) and the file-size
// field, where that field lies within the file and not before the pixels' end.
PictureEnd BmpEnd(const ByteSource& source) {
    const auto fileSize = source.Le32At(2), pixelOffset = source.Le32At(10);
    const auto headerBytes = source.Le32At(kBmpFileHeaderBytes);
    if (!fileSize || !pixelOffset || !headerBytes)
        return PictureEnd::FromShortRead();
    const std::optional<BmpHeader> header = ReadBmpHeader(source, *headerBytes);
    if (!header)
        return PictureEnd::FromShortRead();
    if (*headerBytes < kBmpCoreHeaderBytes ||
        *pixelOffset < uint64_t{kBmpFileHeaderBytes} + *headerBytes)
        return PictureEnd::With(EndStatus::Malformed);
    const std::optional<uint64_t> pixelBytes = BmpPixelBytes(*header);
    if (!pixelBytes)
        return PictureEnd::With(EndStatus::Unknown);
    uint64_t end = *pixelOffset + *pixelBytes;
    if (end > source.Size())
        return PictureEnd::With(EndStatus::Truncated);
    if (*headerBytes >= kBmpV5HeaderBytes &&
        source.Le32At(kBmpFileHeaderBytes + 56) == kBmpEmbeddedProfile) {
        const auto profileOffset = source.Le32At(kBmpFileHeaderBytes + 112);
        const auto profileBytes = source.Le32At(kBmpFileHeaderBytes + 116);
        if (!profileOffset || !profileBytes)
            return PictureEnd::FromShortRead();
        const uint64_t profileEnd = uint64_t{kBmpFileHeaderBytes} + *profileOffset + *profileBytes;
        if (profileEnd > source.Size())
            return PictureEnd::With(EndStatus::Truncated);
        end = std::max(end, profileEnd);
    }
    if (*fileSize >= end && *fileSize <= source.Size())
        end = *fileSize;
    return PictureEnd::At(end);
}

// The RIFF container's size, padded to an even count.
PictureEnd WebPEnd(const ByteSource& source) {
    const std::optional<uint32_t> riffBytes = source.Le32At(4);
    if (!riffBytes)
        return PictureEnd::FromShortRead();
    if (*riffBytes < 4)
        return PictureEnd::With(EndStatus::Malformed);
    return EndWithin(source, 8 + uint64_t{*riffBytes} + (*riffBytes & 1));
}

// The furthest end of an image the directory points at.
PictureEnd IcoEnd(const ByteSource& source) {
    constexpr uint64_t kEntryBytes = 16;
    const std::optional<uint16_t> count = source.Le16At(4);
    if (!count)
        return PictureEnd::FromShortRead();
    const uint64_t directoryEnd = 6 + kEntryBytes * *count;
    std::vector<uint8_t> directory(static_cast<size_t>(directoryEnd - 6));
    if (!source.ReadAt(6, directory.data(), directory.size()))
        return PictureEnd::FromShortRead();
    const MemorySource entries(directory);
    uint64_t end = directoryEnd;
    for (uint64_t at = 0; at < directory.size(); at += kEntryBytes) {
        const uint32_t bytes = *entries.Le32At(at + 8);
        const uint32_t offset = *entries.Le32At(at + 12);
        if (bytes == 0 || offset < directoryEnd)
            return PictureEnd::With(EndStatus::Malformed);
        end = std::max(end, uint64_t{offset} + bytes);
    }
    return EndWithin(source, end);
}

// The size in the header (in 16-bit words), after the placeable header where there is one.
PictureEnd WmfEnd(const ByteSource& source) {
    constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
    constexpr uint64_t kPlaceableBytes = 22, kHeaderWords = 9;
    const std::optional<uint32_t> key = source.Le32At(0);
    if (!key)
        return PictureEnd::FromShortRead();
    const uint64_t start = *key == kPlaceableKey ? kPlaceableBytes : 0;
    const std::optional<uint16_t> headerWords = source.Le16At(start + 2);
    const std::optional<uint32_t> words = source.Le32At(start + 6);
    if (!headerWords || !words)
        return PictureEnd::FromShortRead();
    if (*headerWords != kHeaderWords || *words < kHeaderWords)
        return PictureEnd::With(EndStatus::Malformed);
    return EndWithin(source, start + uint64_t{*words} * 2);
}

// nBytes of the header record, which is at least as long as the header record itself.
PictureEnd EmfEnd(const ByteSource& source) {
    constexpr uint32_t kSmallestHeader = 88;
    const std::optional<uint32_t> headerBytes = source.Le32At(4);
    const std::optional<uint32_t> bytes = source.Le32At(48);
    if (!headerBytes || !bytes)
        return PictureEnd::FromShortRead();
    if (*headerBytes < kSmallestHeader || *bytes < *headerBytes)
        return PictureEnd::With(EndStatus::Malformed);
    return EndWithin(source, *bytes);
}

} // namespace lumora
