// SPDX-License-Identifier: GPL-2.0-or-later
// The one self-overwriting line lumora-cli may keep at the bottom of a terminal's stderr
// (the progress of a long step). Whatever else goes to stderr clears it first, so that
// every other line starts at the left edge; the next drawing puts it back.
#pragma once

#include <string>

namespace lumora::cli {

// Shows `text` as the status line; the same text drawn again is not written again.
void DrawStatusLine(const std::string& text);

// Removes the status line, if one is shown.
void ClearStatusLine();

} // namespace lumora::cli
