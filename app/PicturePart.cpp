// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/PicturePart.h"

#include "engine/TrailerCodec.h"
#include "picture/PictureEnd.h"

namespace lumora {

uint64_t PicturePartSize(int fd) {
    const DescriptorSource source(fd);
    if (source.Failed())
        return 0;
    const uint64_t size = source.Size();
    TrailerBytes bytes{};
    if (size >= bytes.size() && source.ReadAt(size - bytes.size(), bytes.data(), bytes.size())) {
        const CarrierTrailer trailer = DecodeTrailer(bytes);
        if (TrailerFitsFile(trailer, static_cast<int64_t>(size)))
            return static_cast<uint64_t>(trailer.imageLength);
    }
    const PictureEnd end = FindPictureEnd(source, KindOf(source));
    return end.status == EndStatus::Found ? end.end : size;
}

} // namespace lumora
