// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/HelpLauncher.h"

#include "qtadapters/Dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <utility>

namespace lumora {

HelpLauncher::HelpLauncher(QString programFolder) : m_programFolder(std::move(programFolder)) {}

QString HelpLauncher::Target() {
    if (!m_target.isEmpty() || m_programFolder.isEmpty())
        return m_target;
    const QString candidates[] = {
        m_programFolder + QLatin1String("/Lumora.chm"),
        m_programFolder + QLatin1String("/help/index.html"),
        m_programFolder + QLatin1String("/../share/lumora/help/index.html"),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
            m_target = QDir::cleanPath(candidate);
            break;
        }
    }
    return m_target;
}

bool HelpLauncher::Open() {
    const QString target = Target();
    return !target.isEmpty() && Dialogs().OpenWithDesktop(target);
}

} // namespace lumora
