// SPDX-License-Identifier: GPL-2.0-or-later
// Where the open dialogs and the dialogs for saving out hidden files start: in the folder
// last used for that kind of dialog, kept in the settings store, and before the first use
// in the user's pictures folder (XDG), or the home folder when there is none. The save
// dialogs for carriers do not use this: they start beside the source picture.
#pragma once

#include <QString>

namespace lumora {

enum class DialogFolder {
    LoadImage,   // "Load Data from Image"
    WizardImage, // the hide wizard's picture
    AddFiles,    // files to hide
    SaveFiles,   // hidden files saved out, one by name or several into a folder
};

QString StartFolder(DialogFolder kind);

// Remembers the folder a dialog of this kind ended in; an empty folder is ignored.
void RememberFolder(DialogFolder kind, const QString& folder);
// Remembers the folder of a file chosen in a dialog of this kind.
void RememberFolderOf(DialogFolder kind, const QString& file);

} // namespace lumora
