// SPDX-License-Identifier: GPL-2.0-or-later
#include "preview/Decoder.h"

#include "preview/MetafileDecoder.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <cstring>

namespace lumora::preview {
namespace {

// `size` scaled down to fit `bound` with its proportions kept; at least 1 x 1.
QSize FitWithin(QSize size, QSize bound) {
    if (size.width() <= bound.width() && size.height() <= bound.height())
        return size;
    return size.scaled(bound, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

std::vector<uint8_t> Answer(const QImage& picture, QSize fullSize, QSize bound) {
    if (picture.isNull() || fullSize.isEmpty())
        return EncodeNoPreview();
    QImage preview = picture;
    const QSize fitted = FitWithin(picture.size(), bound);
    if (fitted != picture.size())
        preview = picture.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    preview = preview.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (preview.isNull())
        return EncodeNoPreview();

    ResponseHeader header;
    header.hasPreview = true;
    header.width = uint32_t(fullSize.width());
    header.height = uint32_t(fullSize.height());
    header.previewWidth = uint32_t(preview.width());
    header.previewHeight = uint32_t(preview.height());
    const size_t rowBytes = size_t(preview.width()) * 4;
    std::vector<uint8_t> pixels(rowBytes * size_t(preview.height()));
    for (int y = 0; y < preview.height(); ++y)
        std::memcpy(pixels.data() + rowBytes * size_t(y), preview.constScanLine(y), rowBytes);
    return EncodeResponse(header, pixels.data());
}

std::vector<uint8_t> AnswerWithQt(const QByteArray& bytes, const QByteArray& format, QSize bound) {
    if (!QImageReader::supportedImageFormats().contains(format))
        return EncodeNoPreview();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(kAllocationLimitMb);
    QSize fullSize = reader.size();
    // Readers that can (JPEG among them) decode straight at the smaller size; the others
    // decode whole, within the allocation limit, and are scaled afterwards.
    if (fullSize.isValid()) {
        const QSize fitted = FitWithin(fullSize, bound);
        if (fitted != fullSize)
            reader.setScaledSize(fitted);
    }
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const QImage picture = reader.read();
    if (!fullSize.isValid())
        fullSize = picture.size();
    else if (turned)
        fullSize.transpose();
    return Answer(picture, fullSize, bound);
}

std::vector<uint8_t> AnswerMetafile(const QByteArray& bytes, bool enhanced, QSize bound) {
    const QByteArray svg = enhanced ? EmfToSvg(bytes) : WmfToSvg(bytes);
    if (svg.isEmpty())
        return EncodeNoPreview();
    QSvgRenderer renderer(svg);
    const QSize fullSize = renderer.defaultSize();
    if (!renderer.isValid() || fullSize.isEmpty())
        return EncodeNoPreview();
    QImage image(FitWithin(fullSize, bound), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return EncodeNoPreview();
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    return Answer(image, fullSize, bound);
}

} // namespace

void PrepareDecoders() {
    // A reader over nothing loads every image format plugin while it looks for one that
    // recognises the (empty) content.
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        QBuffer empty;
        empty.open(QIODevice::ReadOnly);
        QImageReader reader(&empty, format);
        reader.canRead();
    }
    QFontDatabase::families();
    QImage scratch(16, 16, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    painter.drawText(0, 12, QStringLiteral("Ag"));
}

std::vector<uint8_t> AnswerRequest(const Request& request) {
    const QByteArray bytes = QByteArray::fromRawData(
        reinterpret_cast<const char*>(request.bytes.data()), qsizetype(request.bytes.size()));
    const QByteArray format = QByteArray::fromStdString(request.header.format);
    const QSize bound(int(request.header.maxWidth), int(request.header.maxHeight));
    if (format == "wmf" || format == "emf")
        return AnswerMetafile(bytes, format == "emf", bound);
    return AnswerWithQt(bytes, format, bound);
}

} // namespace lumora::preview
