// SPDX-License-Identifier: GPL-2.0-or-later
// Filter lists written as "description|patterns|description|patterns..." (patterns
// separated by ";") turned into Qt name filters "description (pattern pattern ...)".
#pragma once

#include <QString>
#include <QStringList>

namespace lumora {

// The pattern "*.*" means every file, and becomes "*" (Qt's "*.*" needs a dot in the
// name). A description without patterns is dropped.
QStringList ToQtNameFilters(const QString& filter);

// The filter list of the picture dialogs, in the form above: every kind of picture
// together under allPictures ("All Image"), then each kind on its own, then every file.
QString PictureFilter(const QString& allPictures);

} // namespace lumora
