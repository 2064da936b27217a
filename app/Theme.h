// SPDX-License-Identifier: GPL-2.0-or-later
// Lumora's look: pictures and style sheet compiled into the program (the style sheet
// draws the button faces). The pictures any window may use:
//   :/theme/background.png   750 x 516, the main window's background
//   :/theme/help.png         24 x 24 help icon
//   :/theme/right.png        16 x 16 mark for matching passwords
//   :/theme/error.png        16 x 16 mark for differing passwords
//   :/theme/product.png      48 x 48 product picture
#pragma once

class QApplication;

namespace lumora {

// Registers the theme's resources, sets the font the windows are laid out for (8-point
// "MS Sans Serif", or a sans-serif face in its place) and applies the style sheet.
void InitTheme(QApplication& app);

} // namespace lumora
