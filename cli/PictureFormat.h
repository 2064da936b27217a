// SPDX-License-Identifier: GPL-2.0-or-later
// Whether a picture still shows with bytes after its end. Binary formats (PNG, JPEG, GIF,
// BMP, TIFF, WebP, ICO, WMF, EMF, ...) end where their own structure says and viewers
// ignore what follows; text formats (SVG and other XML, XPM, plain netpbm) are read as a
// whole and break: a carrier made from one shows nothing.
#pragma once

#include <string>
#include <string_view>

namespace lumora::cli {

// From the first bytes of the file: false for a picture in a text format.
bool ToleratesTrailingBytes(std::string_view head);

// The first bytes of the file at `path` that ToleratesTrailingBytes looks at.
std::string PictureHead(const std::string& path);

} // namespace lumora::cli
