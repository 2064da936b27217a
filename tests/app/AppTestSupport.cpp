// SPDX-License-Identifier: GPL-2.0-or-later
#include "AppTestSupport.h"

#include "app/Theme.h"
#include "platform/ProgramFolders.h"
#include "preview/PreviewClient.h"
#include "support/ReferenceCarriers.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>

namespace lumora::test {

AppTestEnvironment::AppTestEnvironment() {
    InitTheme(*qobject_cast<QApplication*>(QCoreApplication::instance()));
    SetProgramFolderOverride(m_folder.Path());
    preview::SetPreviewHelperOverride(LUMORA_PREVIEW_HELPER);
    SetDialogs(&m_dialogs);
}

AppTestEnvironment::~AppTestEnvironment() {
    SetDialogs(nullptr);
    preview::SetPreviewHelperOverride(std::string());
    SetProgramFolderOverride(std::string());
}

QString AppTestEnvironment::PathOf(const QString& name) const {
    return QString::fromStdString(m_folder.Path()) + u'/' + name;
}

QString AppTestEnvironment::WritePicture(const QString& name, int width, int height,
                                         Qt::GlobalColor colour) const {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = PathOf(name);
    if (!image.save(path))
        qFatal("cannot write the test picture %s", qPrintable(path));
    return path;
}

QStringList SectionsOf(const QString& iniPath) {
    QFile file(iniPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList sections;
    static const QRegularExpression header(QStringLiteral("^\\[(.*)\\]\\s*$"),
                                           QRegularExpression::MultilineOption);
    auto matches = header.globalMatch(QString::fromUtf8(file.readAll()));
    while (matches.hasNext())
        sections.append(matches.next().captured(1));
    return sections;
}

QString OpenedCarrierPassword() {
    return QString::fromStdString(ReferenceCarrierNamed(kOpenedCarrier).password);
}

} // namespace lumora::test
