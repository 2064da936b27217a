// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

namespace lumora {

// An installed copy ships complete language files in "<prefix>/share/lumora/lang". Each
// one the user does not have yet is copied into the user's folder before the windows are
// built, so a distribution's or translator's file there becomes the user's starting point.
void CopyDefaultLanguageFiles();

} // namespace lumora
