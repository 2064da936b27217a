// SPDX-License-Identifier: GPL-2.0-or-later
// The only place where a picture's bytes are parsed for a preview; it runs in the preview
// helper (and in its fuzz target), never in the program. The decoder is chosen by the
// format named in the request, the file's extension: Qt's image readers for BMP, ICO, GIF,
// PNG, JPEG, TIFF, WebP and whatever else Qt reads here; libwmf and libemf2svg, through
// SVG, for WMF and EMF.
#pragma once

#include "preview/PreviewProtocol.h"

#include <cstdint>
#include <vector>

namespace lumora::preview {

// Qt's image readers refuse to allocate more than this for one picture.
inline constexpr int kAllocationLimitMb = 256;

// Loads what decoding needs from the disk while that is still allowed: Qt's image format
// plugins and the font database with its default face. Needs a QGuiApplication.
void PrepareDecoders();

// The response to `request`: a preview no larger than the request allows, of the picture
// scaled down with its proportions kept (never up), or no preview. Pictures are decoded
// at the preview's size where the format allows it, and a picture whose full decode would
// need more than kAllocationLimitMb is not decoded at all.
std::vector<uint8_t> AnswerRequest(const Request& request);

} // namespace lumora::preview
