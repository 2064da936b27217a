// SPDX-License-Identifier: GPL-2.0-or-later
// The ten most recently used images, kept in the settings store "Lumora.ini" of the
// configuration folder as the values File0 (newest) to File9.
#pragma once

#include <QStringList>

namespace lumora {

constexpr int kRecentImageCount = 10;

// The ten stored values in order, missing ones as empty texts.
QStringList ReadRecentImages();

// Writes the first ten entries; a store that cannot be written is left alone silently.
void WriteRecentImages(const QStringList& images);

// Moves a path to the front of the list, dropping other entries equal to it (the
// comparison is case-sensitive, as paths are).
void PutFirst(QStringList& images, const QString& path);

} // namespace lumora
