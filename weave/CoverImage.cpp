// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/CoverImage.h"

#include "weave/BmpCover.h"
#include "weave/JpegCover.h"
#include "weave/PngCover.h"

#include <cerrno>

namespace lumora {
namespace {

template <typename Cover> CoverRead ReadAs(const ByteSource& source, uint64_t mostBytes) {
    std::unique_ptr<Cover> cover;
    CoverRead read;
    read.status = Cover::Read(source, cover, mostBytes);
    read.cover = std::move(cover);
    return read;
}

} // namespace

CoverRead ReadCover(const ByteSource& source, uint64_t mostBytes) {
    errno = 0;
    switch (KindOf(source)) {
    case PictureKind::Jpeg:
        return ReadAs<JpegCover>(source, mostBytes);
    case PictureKind::Png:
        return ReadAs<PngCover>(source, mostBytes);
    case PictureKind::Bmp:
        return ReadAs<BmpCover>(source, mostBytes);
    case PictureKind::Unknown:
        if (errno != 0)
            return {CoverStatus::ReadFailed, nullptr};
        return {CoverStatus::NotSupported, nullptr};
    default:
        return {CoverStatus::NotSupported, nullptr};
    }
}

CoverStatus WriteBytes(FILE* out, const std::vector<uint8_t>& bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || std::fflush(out) != 0)
        return CoverStatus::WriteFailed;
    return CoverStatus::Ok;
}

} // namespace lumora
