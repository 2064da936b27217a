// SPDX-License-Identifier: GPL-2.0-or-later
#include "qtadapters/NameFilters.h"

namespace lumora {

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

} // namespace lumora
