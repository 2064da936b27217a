// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/FileCopy.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace lumora {

bool CopyFileReplacing(const QString& from, const QString& to) {
    const QFileInfo source(from);
    if (QFileInfo(to).exists() && source.canonicalFilePath() == QFileInfo(to).canonicalFilePath())
        return true;
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 got = in.read(buffer, sizeof buffer);
        if (got < 0)
            return false; // QSaveFile discards the partial copy
        if (got == 0)
            break;
        if (out.write(buffer, got) != got)
            return false;
    }
    return out.commit();
}

} // namespace lumora
