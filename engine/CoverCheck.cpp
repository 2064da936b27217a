// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/CoverCheck.h"

#include "picture/PictureEnd.h"
#include "platform/ReadOnlyFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace lumora {

Status CheckNewCover(const std::string& path, uint64_t keptBytes) {
    const ReadOnlyFile file(path);
    if (file.Fd() < 0)
        return Status::Fail(Reason::ReadFailed, path, errno);
    const DescriptorSource source(file.Fd());
    if (source.Failed())
        return Status::Fail(Reason::ReadFailed, path, errno);
    const PictureLayout layout = InspectPicture(source);
    if (layout.end.status == EndStatus::ReadFailed)
        return Status::Fail(Reason::ReadFailed, path, layout.end.error);
    if (layout.kind == PictureKind::Empty)
        return Status::Fail(Reason::EmptyPicture, path);
    if (!IsPicture(layout.kind)) {
        Status refused = Status::Fail(Reason::NotAPicture, path);
        refused.count = static_cast<int64_t>(layout.kind);
        return refused;
    }
    const uint64_t kept = std::min(keptBytes, layout.size);
    if (layout.end.status == EndStatus::Found && layout.end.end < kept) {
        Status refused = Status::Fail(Reason::CoverHoldsData, path);
        refused.count = static_cast<int64_t>(kept - layout.end.end);
        return refused;
    }
    return Status::Success();
}

PictureKind KindOfRefusal(const Status& status) {
    const bool named = status.reason == Reason::NotAPicture && status.count >= 0 &&
                       status.count <= static_cast<int64_t>(PictureKind::Unknown);
    return named ? static_cast<PictureKind>(status.count) : PictureKind::Unknown;
}

bool EndsWithPicture(const std::string& path) {
    const ReadOnlyFile file(path);
    if (file.Fd() < 0)
        return false;
    const DescriptorSource source(file.Fd());
    if (source.Failed())
        return false;
    const PictureLayout layout = InspectPicture(source);
    return layout.end.status == EndStatus::Found && layout.end.end == layout.size;
}

} // namespace lumora
