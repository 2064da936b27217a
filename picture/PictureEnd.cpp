// SPDX-License-Identifier: GPL-2.0-or-later
#include "picture/PictureEnd.h"

#include "picture/JpegSegments.h"
#include "picture/KindEnds.h"
#include "picture/PngChunks.h"

#include <cerrno>

namespace lumora {

PictureEnd PictureEnd::FromShortRead() {
    if (errno == 0)
        return With(EndStatus::Truncated);
    return {EndStatus::ReadFailed, 0, errno};
}

PictureEnd FindPictureEnd(const ByteSource& source, PictureKind kind) {
    switch (kind) {
    case PictureKind::Jpeg:
        return WalkJpeg(source);
    case PictureKind::Png:
        return WalkPng(source);
    case PictureKind::Gif:
        return GifEnd(source);
    case PictureKind::Bmp:
        return BmpEnd(source);
    case PictureKind::WebP:
        return WebPEnd(source);
    case PictureKind::Tiff:
        return TiffEnd(source);
    case PictureKind::Ico:
        return IcoEnd(source);
    case PictureKind::Wmf:
        return WmfEnd(source);
    case PictureKind::Emf:
        return EmfEnd(source);
    default:
        return PictureEnd::With(EndStatus::NotPicture);
    }
}

PictureLayout InspectPicture(const ByteSource& source) {
    PictureLayout layout;
    layout.size = source.Size();
    errno = 0;
    layout.kind = KindOf(source);
    if (layout.kind == PictureKind::Unknown && errno != 0)
        layout.end = {EndStatus::ReadFailed, 0, errno};
    else
        layout.end = FindPictureEnd(source, layout.kind);
    return layout;
}

} // namespace lumora
