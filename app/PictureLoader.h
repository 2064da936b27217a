// SPDX-License-Identifier: GPL-2.0-or-later
// Decodes a picture file for the preview, the decoder chosen by the file's extension:
// Qt's image readers for bitmaps, icons, GIF, PNG, JPEG, TIFF, WebP and the other formats
// Qt can read; libwmf and libemf2svg for WMF and EMF. A file of another kind (".pcx",
// ".ani"), a damaged one or one too large gives a null image.
#pragma once

#include <QImage>
#include <QString>

namespace lumora {

QImage LoadPicture(const QString& path);

} // namespace lumora
