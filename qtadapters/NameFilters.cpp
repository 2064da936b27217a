// SPDX-License-Identifier: GPL-2.0-or-later
#include "qtadapters/NameFilters.h"

namespace lumora {
namespace {

struct PictureKind {
    const char* name;
    const char* pattern;
};

// The kinds of picture the dialogs offer, in their order; some patterns are listed twice,
// under two names.
constexpr PictureKind kPictureKinds[] = {
    {"PCX Image", "*.pcx"},       {"CompuServe GIF Image", "*.gif"}, {"ANI Image", "*.ani"},
    {"GIF Image", "*.gif"},       {"JPEG Image File", "*.jpg"},      {"JPEG Image File", "*.jpeg"},
    {"JPEG Image File", "*.jpg"}, {"JPEG Image File", "*.jpeg"},     {"Bitmaps", "*.bmp"},
    {"Icons", "*.ico"},           {"Enhanced Metafiles", "*.emf"},   {"Metafiles", "*.wmf"},
    {"PNG Image", "*.png"},       {"WebP Image", "*.webp"},          {"TIFF Image", "*.tif"},
    {"TIFF Image", "*.tiff"},
};

// "description (patterns)|patterns"
QString FilterEntry(const QString& name, const QString& patterns) {
    return name + QLatin1String(" (") + patterns + QLatin1String(")|") + patterns;
}

} // namespace

QStringList ToQtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts.at(i + 1).split(u';', Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty())
                patterns.append(trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
        }
        if (!patterns.isEmpty())
            result.append(parts.at(i) + QLatin1String(" (") + patterns.join(u' ') + u')');
    }
    return result;
}

QString PictureFilter(const QString& allPictures) {
    QStringList patterns;
    for (const PictureKind& kind : kPictureKinds)
        patterns.append(QLatin1String(kind.pattern));
    QStringList entries{FilterEntry(allPictures, patterns.join(u';'))};
    for (const PictureKind& kind : kPictureKinds)
        entries.append(FilterEntry(QLatin1String(kind.name), QLatin1String(kind.pattern)));
    entries.append(FilterEntry(QStringLiteral("All"), QStringLiteral("*.*")));
    return entries.join(u'|');
}

} // namespace lumora
