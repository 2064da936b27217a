// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/PathParts.h"

namespace lumora {

PathParts SplitPath(const QString& path) {
    PathParts parts;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    parts.folder = path.left(slash + 1);
    const QString fileName = path.mid(slash + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        parts.name = fileName;
    } else {
        parts.name = fileName.left(dot);
        parts.extension = fileName.mid(dot);
    }
    return parts;
}

QString NewCarrierName(const QString& imagePath) {
    const PathParts parts = SplitPath(imagePath);
    return parts.name + QStringLiteral("_new") + parts.extension;
}

} // namespace lumora
