// SPDX-License-Identifier: GPL-2.0-or-later
// A path taken apart into folder, name and extension, the way the save dialogs propose
// names: "cat.jpg" gives the name "cat" and the extension ".jpg".
#pragma once

#include <QString>

namespace lumora {

struct PathParts {
    QString folder;    // with its trailing "/", empty for a bare name
    QString name;      // up to the last dot of the file name
    QString extension; // from the last dot on, empty when there is none
};

PathParts SplitPath(const QString& path);

// The name a save dialog proposes for a new carrier made from an image: "cat_new.jpg".
QString NewCarrierName(const QString& imagePath);

} // namespace lumora
