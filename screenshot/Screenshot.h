// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-screenshot, the desktop program photographing itself for scripts/screenshot,
// the tests and the build's default language file; built, never installed. With the
// environment variable LUMORA_SCREENSHOT set to a PNG path, it sets up the scene named by
// LUMORA_SCREENSHOT_SCENE, saves a picture of it about a second later and quits (stays,
// with LUMORA_SCREENSHOT_HOLD set); LUMORA_PROGRAM_FOLDER points its program folder
// elsewhere. Scenes:
//   start      the main window as it starts (the default)
//   image      the picture LUMORA_SCREENSHOT_IMAGE in the preview
//   help-menu  the help drop-down open
//   about      the about box
//   open-dialog  the open-picture dialog with LUMORA_SCREENSHOT_IMAGE chosen
//   wizard     the hide wizard, started with LUMORA_SCREENSHOT_IMAGE when given
//   discard    the question when the wizard is cancelled with a message typed
//   saved      the confirmation after the wizard saved into the screenshot's folder
//   reveal     the reveal view of the carrier LUMORA_SCREENSHOT_IMAGE, opened with the
//              password LUMORA_SCREENSHOT_PASSWORD; LUMORA_SCREENSHOT_PAGE "files" shows
//              its files, "edited" changes its message
#pragma once

namespace lumora {

struct ProgramWindows;

// True when a screenshot was requested and is under way.
bool StartScreenshot(const ProgramWindows& windows);

} // namespace lumora
