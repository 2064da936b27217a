// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/PictureLoader.h"

#include "app/MetafileDecoder.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

namespace lumora {
namespace {

// Metafiles are read whole; larger ones are not previewed.
constexpr qint64 kMaxMetafileBytes = 64 * 1024 * 1024;
// A metafile may state a huge page; its preview is drawn no larger than this.
constexpr int kMaxMetafileSide = 4096;

QImage RenderSvg(const QByteArray& svg) {
    if (svg.isEmpty())
        return {};
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return {};
    QSize size = renderer.defaultSize();
    if (size.isEmpty())
        return {};
    if (size.width() > kMaxMetafileSide || size.height() > kMaxMetafileSide)
        size.scale(kMaxMetafileSide, kMaxMetafileSide, Qt::KeepAspectRatio);
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return image;
}

QImage LoadMetafile(const QString& path, QByteArray (*toSvg)(const QByteArray&)) {
    QFile file(path);
    if (file.size() > kMaxMetafileBytes || !file.open(QIODevice::ReadOnly))
        return {};
    return RenderSvg(toSvg(file.readAll()));
}

QImage LoadWithQt(const QString& path, const QByteArray& suffix) {
    if (!QImageReader::supportedImageFormats().contains(suffix))
        return {};
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return reader.read();
}

} // namespace

QImage LoadPicture(const QString& path) {
    const QByteArray suffix = QFileInfo(path).suffix().toLower().toLatin1();
    if (suffix == "wmf")
        return LoadMetafile(path, WmfToSvg);
    if (suffix == "emf")
        return LoadMetafile(path, EmfToSvg);
    return LoadWithQt(path, suffix);
}

} // namespace lumora
