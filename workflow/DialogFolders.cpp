// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/DialogFolders.h"

#include "workflow/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace lumora {
namespace {

const char* KeyOf(DialogFolder kind) {
    switch (kind) {
    case DialogFolder::LoadImage:
        return "FolderLoadImage";
    case DialogFolder::WizardImage:
        return "FolderWizardImage";
    case DialogFolder::AddFiles:
        return "FolderAddFiles";
    case DialogFolder::SaveFiles:
        return "FolderSaveFiles";
    }
    return "FolderLoadImage";
}

} // namespace

QString StartFolder(DialogFolder kind) {
    const QString remembered = ReadSetting(KeyOf(kind));
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    // Never the working folder: run from the build tree that is the program's folder,
    // where the cache of decrypted copies lives.
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
        return pictures;
    return QDir::homePath();
}

void RememberFolder(DialogFolder kind, const QString& folder) {
    if (!folder.isEmpty())
        WriteSetting(KeyOf(kind), QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
}

void RememberFolderOf(DialogFolder kind, const QString& file) {
    if (!file.isEmpty())
        RememberFolder(kind, QFileInfo(file).absolutePath());
}

} // namespace lumora
