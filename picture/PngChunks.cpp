// SPDX-License-Identifier: GPL-2.0-or-later
#include "picture/PngChunks.h"

#include <array>

namespace lumora {
namespace {

constexpr uint32_t kLargestLength = 0x7FFFFFFF;

bool IsLetter(uint32_t byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

bool IsChunkType(uint32_t type) {
    return IsLetter(type >> 24) && IsLetter((type >> 16) & 0xFF) && IsLetter((type >> 8) & 0xFF) &&
           IsLetter(type & 0xFF);
}

} // namespace

PictureEnd WalkPng(const ByteSource& source, const std::function<void(const PngChunk&)>& visit) {
    static constexpr std::array<uint8_t, kPngSignatureBytes> kSignature = {0x89, 'P',  'N',  'G',
                                                                           '\r', '\n', 0x1A, '\n'};
    std::array<uint8_t, kPngSignatureBytes> signature{};
    if (!source.ReadAt(0, signature.data(), signature.size()))
        return PictureEnd::FromShortRead();
    if (signature != kSignature)
        return PictureEnd::With(EndStatus::Malformed);
    uint64_t offset = kPngSignatureBytes;
    for (bool first = true;; first = false) {
        const std::optional<uint32_t> length = source.Be32At(offset);
        const std::optional<uint32_t> type = source.Be32At(offset + 4);
        if (!length || !type)
            return PictureEnd::FromShortRead();
        if (*length > kLargestLength || !IsChunkType(*type))
            return PictureEnd::With(EndStatus::Malformed);
        if (first && (*type != PngChunkType("IHDR") || *length != 13))
            return PictureEnd::With(EndStatus::Malformed);
        const uint64_t next = offset + 12 + *length;
        if (next > source.Size())
            return PictureEnd::With(EndStatus::Truncated);
        if (visit)
            visit(PngChunk{*type, offset, *length});
        if (*type == PngChunkType("IEND"))
            return PictureEnd::At(next);
        offset = next;
    }
}

} // namespace lumora
