// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

namespace lumora {

// An installed copy ships a complete language file in "<prefix>/share/lumora/lang". When
// the user has none yet, it is copied into the user's folder before the windows are
// built, so a distribution's or translator's file there becomes the user's starting point.
void CopyDefaultLanguageFile();

} // namespace lumora
