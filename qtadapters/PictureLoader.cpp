// SPDX-License-Identifier: GPL-2.0-or-later
#include "qtadapters/PictureLoader.h"

#include "platform/ReadOnlyFile.h"
#include "preview/PreviewClient.h"
#include "qtadapters/Dialogs.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {
namespace {

uint32_t BoundSide(int side) {
    return uint32_t(std::clamp<int>(side, 1, int(preview::kMaxPreviewSide)));
}

} // namespace

PicturePreview LoadPreview(const QString& path, QSize bound, int timeoutMs,
                           const PicturePartFinder& part) {
    preview::RequestHeader request;
    request.format = QFileInfo(path).suffix().toLower().toStdString();
    request.maxWidth = BoundSide(bound.width());
    request.maxHeight = BoundSide(bound.height());
    if (!preview::IsValidFormat(request.format))
        return {};
    // Only a regular file is read: a FIFO or a device named like a picture is not.
    ReadOnlyFile file(QFile::encodeName(path).toStdString());
    struct stat info {};
    if (file.Fd() < 0 || ::fstat(file.Fd(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    request.byteCount = uint64_t(info.st_size);
    if (part)
        request.byteCount = std::min(request.byteCount, part(file.Fd()));
    if (request.byteCount > preview::kMaxPictureBytes)
        return {};

    const preview::HelperReply reply =
        preview::RunPreviewHelper(preview::PreviewHelperPath(), file.Fd(), request, timeoutMs);
    if (reply.outcome != preview::HelperOutcome::Preview)
        return {};
    const preview::ResponseHeader& header = reply.header;
    QImage image(int(header.previewWidth), int(header.previewHeight),
                 QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    const size_t rowBytes = size_t(header.previewWidth) * 4;
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(image.scanLine(y), reply.pixels.data() + rowBytes * size_t(y), rowBytes);
    return {image, QSize(int(header.width), int(header.height))};
}

QImage LoadPicture(const QString& path) {
    return LoadPreview(path, kDefaultPreviewBound).image;
}

void InstallDialogPreviews(PicturePartFinder part) {
    SetPreviewDecoder([part = std::move(part)](const QString& path, QSize bound, QSize& size) {
        PicturePreview picture = LoadPreview(path, bound, kPreviewTimeoutMs, part);
        size = picture.size;
        return picture.image;
    });
}

} // namespace lumora
