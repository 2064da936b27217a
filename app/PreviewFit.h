// SPDX-License-Identifier: GPL-2.0-or-later
// Where the preview of a picture goes inside its frame panel.
#pragma once

#include <QRect>
#include <QSize>

namespace lumora {

struct PreviewPlacement {
    QRect rect;   // relative to the frame panel
    bool stretch; // drawn stretched to rect; otherwise unscaled from its top left corner
};

// A picture that fits is shown at its own size; a larger one is scaled down to the
// frame's width or height, whichever limits it (ties go to the width), less 4 pixels
// each way. The result is centred, and an offset of 0 becomes 1.
PreviewPlacement FitPreview(QSize picture, QSize frame);

} // namespace lumora
