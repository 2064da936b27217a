// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/BmpCover.h"

#include <cerrno>

namespace lumora {
namespace {

constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kCoreHeaderBytes = 12;
constexpr uint32_t kRgb = 0, kBitfields = 3;

// Checks the header and works out where the samples lie.
CoverStatus LayoutOf(const ByteSource& file, PixelLayout& layout) {
    const auto headerBytes = file.Le32At(14), pixelOffset = file.Le32At(10);
    if (!headerBytes || !pixelOffset)
        return CoverStatus::Damaged;
    if (*headerBytes == kCoreHeaderBytes)
        return CoverStatus::UnsupportedLayout;
    const auto width = file.Le32At(18), height = file.Le32At(22), compression = file.Le32At(30);
    const auto planes = file.Le16At(26), bits = file.Le16At(28);
    if (*headerBytes < kInfoHeaderBytes || !width || !height || !compression || !planes || !bits ||
        *planes != 1)
        return CoverStatus::Damaged;
    if (*bits <= 8)
        return CoverStatus::Palette;
    if (*bits == 16 || *bits == 48 || *bits == 64)
        return CoverStatus::NotEightBit;
    if (*bits != 24 && *bits != 32)
        return CoverStatus::Damaged;
    if (*compression == kBitfields) {
        // The masks follow a 40-byte header, and sit at the same place inside larger ones.
        if (*bits != 32 || file.Le32At(54) != 0x00FF0000u || file.Le32At(58) != 0x0000FF00u ||
            file.Le32At(62) != 0x000000FFu)
            return CoverStatus::UnsupportedLayout;
    } else if (*compression != kRgb) {
        return CoverStatus::UnsupportedLayout;
    }
    const auto signedWidth = static_cast<int32_t>(*width);
    const auto signedHeight = static_cast<int32_t>(*height);
    if (signedWidth <= 0 || signedHeight == 0 || signedHeight == INT32_MIN)
        return CoverStatus::Damaged;
    const uint64_t rows = static_cast<uint64_t>(signedHeight < 0 ? -signedHeight : signedHeight);
    const uint64_t rowBytes = (uint64_t{*width} * *bits + 31) / 32 * 4;
    const uint64_t headersEnd =
        14 + uint64_t{*headerBytes} +
        (*compression == kBitfields && *headerBytes == kInfoHeaderBytes ? 12 : 0);
    if (*pixelOffset < headersEnd || *pixelOffset > file.Size() ||
        rows > (file.Size() - *pixelOffset) / rowBytes)
        return CoverStatus::Damaged;
    layout.width = *width;
    layout.height = static_cast<uint32_t>(rows);
    layout.channels = 3;
    layout.pixelBytes = *bits / 8u;
    layout.channelAt = {2, 1, 0}; // stored blue, green, red
    const bool bottomUp = signedHeight > 0;
    layout.topRow = *pixelOffset + (bottomUp ? (rows - 1) * rowBytes : 0);
    layout.rowStride = bottomUp ? -static_cast<int64_t>(rowBytes) : static_cast<int64_t>(rowBytes);
    return CoverStatus::Ok;
}

} // namespace

CoverStatus BmpCover::Read(const ByteSource& source, std::unique_ptr<BmpCover>& cover,
                           uint64_t mostBytes) {
    if (source.Size() > mostBytes)
        return CoverStatus::TooLarge;
    std::unique_ptr<BmpCover> made(new BmpCover());
    made->m_file.resize(static_cast<size_t>(source.Size()));
    if (!source.ReadAt(0, made->m_file.data(), made->m_file.size()))
        return errno == 0 ? CoverStatus::Damaged : CoverStatus::ReadFailed;
    PixelLayout layout;
    const CoverStatus status = LayoutOf(MemorySource(made->m_file), layout);
    if (status != CoverStatus::Ok)
        return status;
    made->Index(made->m_file.data(), layout, std::nullopt);
    cover = std::move(made);
    return CoverStatus::Ok;
}

CoverStatus BmpCover::Write(std::vector<uint8_t>& out) const {
    out = m_file;
    return CoverStatus::Ok;
}

CoverStatus BmpCover::Write(FILE* out) const {
    return WriteBytes(out, m_file);
}

} // namespace lumora
