// SPDX-License-Identifier: GPL-2.0-or-later
// The two kinds of WovenCover, made by WovenCover::Make.
#pragma once

#include "weave/JpegCover.h"
#include "weave/PixelCover.h"
#include "weave/WovenCover.h"

namespace lumora::weave {

CoverStatus MakeJpegWovenCover(JpegCover& cover, std::unique_ptr<WovenCover>& out);
std::unique_ptr<WovenCover> MakePixelWovenCover(PixelCover& cover);

} // namespace lumora::weave
