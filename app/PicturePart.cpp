// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/PicturePart.h"

#include "engine/ClassicData.h"
#include "picture/PictureEnd.h"

#include <optional>

namespace lumora {

uint64_t PicturePartSize(int fd) {
    const DescriptorSource source(fd);
    if (source.Failed())
        return 0;
    const uint64_t size = source.Size();
    if (const std::optional<CarrierTrailer> trailer = ClassicTrailerOf(fd))
        return static_cast<uint64_t>(trailer->imageLength);
    const PictureEnd end = FindPictureEnd(source, KindOf(source));
    return end.status == EndStatus::Found ? end.end : size;
}

} // namespace lumora
