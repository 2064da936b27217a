// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/FileCopy.h"

#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

namespace lumora {

bool CopyFileReplacing(const QString& from, const QString& to) {
    const QFileInfo source(from);
    if (QFileInfo(to).exists() && source.canonicalFilePath() == QFileInfo(to).canonicalFilePath())
        return true;
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    AtomicFile out(to.toStdString());
    if (!out.Open())
        return false;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 got = in.read(buffer, sizeof buffer);
        if (got < 0)
            return false; // the unfinished copy is discarded
        if (got == 0)
            break;
        if (!out.Write(buffer, static_cast<size_t>(got)))
            return false;
    }
    return out.Commit(Replace::Always);
}

} // namespace lumora
